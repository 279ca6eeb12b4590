// The application manifest 1: an assembly that only asks to run as the invoking user,
// without access to higher-privileged windows, and declares nothing else.
#include "tests/windows/resources/resource_test.h"

#include <map>
#include <string>
#include <vector>

namespace {

struct XmlElement {
    std::string name; // without a namespace prefix
    int depth;
    std::map<std::string, std::string> attributes;
};

std::string LocalName(const std::string& name)
{
    size_t colon = name.find(':');
    return colon == std::string::npos ? name : name.substr(colon + 1);
}

bool IsNameCharacter(char c)
{
    return c != '\0' && std::string(" \t\r\n/>=").find(c) == std::string::npos;
}

// Attributes of a start tag, from just after its name to its closing '>'.
std::map<std::string, std::string> ReadAttributes(const std::string& tag)
{
    std::map<std::string, std::string> attributes;
    size_t at = 0;
    while (true) {
        size_t nameBegin = tag.find_first_not_of(" \t\r\n", at);
        if (nameBegin == std::string::npos || !IsNameCharacter(tag[nameBegin])) {
            return attributes;
        }
        size_t equals = tag.find('=', nameBegin);
        size_t quoteOpen = tag.find_first_of("\"'", equals);
        if (equals == std::string::npos || quoteOpen == std::string::npos) {
            return attributes;
        }
        size_t quoteClose = tag.find(tag[quoteOpen], quoteOpen + 1);
        if (quoteClose == std::string::npos) {
            return attributes;
        }
        std::string name = tag.substr(nameBegin, equals - nameBegin);
        name.erase(name.find_last_not_of(" \t\r\n") + 1);
        attributes[name] = tag.substr(quoteOpen + 1, quoteClose - quoteOpen - 1);
        at = quoteClose + 1;
    }
}

// The elements of a small XML document in document order, with their nesting depth.
// Declarations, comments and text are passed over; a document that does not close every
// element it opens gives an empty list.
std::vector<XmlElement> ReadElements(const std::string& xml)
{
    std::vector<XmlElement> elements;
    int depth = 0;
    size_t at = 0;
    while ((at = xml.find('<', at)) != std::string::npos) {
        if (xml.compare(at, 4, "<!--") == 0) {
            at = xml.find("-->", at);
            continue;
        }
        size_t close = xml.find('>', at);
        if (close == std::string::npos) {
            return {};
        }
        std::string tag = xml.substr(at + 1, close - at - 1);
        at = close + 1;
        if (tag.empty() || tag[0] == '?' || tag[0] == '!') {
            continue;
        }
        if (tag[0] == '/') {
            --depth;
            continue;
        }
        bool selfClosing = tag.back() == '/';
        if (selfClosing) {
            tag.pop_back();
        }
        size_t nameEnd = 0;
        while (nameEnd < tag.size() && IsNameCharacter(tag[nameEnd])) {
            ++nameEnd;
        }
        elements.push_back({LocalName(tag.substr(0, nameEnd)), depth,
                            ReadAttributes(tag.substr(nameEnd))});
        std::map<std::string, std::string>& attributes = elements.back().attributes;
        for (auto it = attributes.begin(); it != attributes.end();) {
            // Namespace declarations say how to read the names, not what they declare.
            it = it->first.compare(0, 5, "xmlns") == 0 ? attributes.erase(it) : std::next(it);
        }
        if (!selfClosing) {
            ++depth;
        }
    }
    return depth == 0 ? elements : std::vector<XmlElement>{};
}

std::string ManifestText()
{
    std::vector<uint8_t> bytes = ResourceBytes(RT_MANIFEST, 1, kEnglishUs);
    return std::string(bytes.begin(), bytes.end());
}

using Manifest = ResourceTest;

TEST_F(Manifest, HoldsOnlyTheTrustInfoBlock)
{
    std::vector<XmlElement> elements = ReadElements(ManifestText());

    const std::vector<std::string> expectedNames = {
        "assembly", "trustInfo", "security", "requestedPrivileges", "requestedExecutionLevel"};
    ASSERT_EQ(elements.size(), expectedNames.size())
        << "no dependency, no display-scaling setting, no compatibility entry";
    for (size_t i = 0; i < elements.size(); ++i) {
        EXPECT_EQ(elements[i].name, expectedNames[i]);
        EXPECT_EQ(elements[i].depth, static_cast<int>(i)) << "each inside the one before";
    }

    using Attributes = std::map<std::string, std::string>;
    EXPECT_EQ(elements[0].attributes, (Attributes{{"manifestVersion", "1.0"}}));
    EXPECT_EQ(elements[4].attributes, (Attributes{{"level", "asInvoker"}, {"uiAccess", "false"}}));
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_TRUE(elements[i].attributes.empty()) << elements[i].name;
    }
}

// The system's own reading: the manifest makes a valid activation context whose run level
// is "as invoker" without UI access.
TEST_F(Manifest, SystemReadsRunLevelAsInvoker)
{
    std::wstring path = ModuleUnderTestPath();
    ACTCTXW request{};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();

    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION runLevel{};
    SIZE_T written = 0;
    ASSERT_TRUE(QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext,
                             &runLevel, sizeof(runLevel), &written));
    EXPECT_EQ(runLevel.RunLevel, ACTCTX_RUN_LEVEL_AS_INVOKER);
    EXPECT_EQ(runLevel.UiAccess, 0u);
    ReleaseActCtx(context);
}

} // namespace
