// The simulated QuibTPApi.dll as a program meets it: bound by ordinal through the import
// library, playing a scenario file with refusals, reports of every kind and bad lines.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "link/touchpad_api.h"
#include "padsim/tests/sim_test_support.h"

namespace {

struct DELIVERY {
    DWORD threadId;
    bool isNull;
    uint32_t type;
    std::vector<uint8_t> bytes;  // as many as the scenario's record of that type holds
    const uint8_t* address;      // kept past the call only to look at it afterwards
    DWORD protectionPastEnd;     // of the first 8-aligned address after the record
};

// Line numbers matter: the errors name them.
const char* const Scenario = "# the pad refuses twice with -1, then links\n"  // 1
                             "refuse 2 -1\n"                                  // 2
                             "traymode 2\n"                                   // 3
                             "disabled 1\n"                                   // 4
                             "checkbuttons 7\n"                               // 5
                             "status 0x05 3 4   # left and right down\n"      // 6
                             "raw 8\n"                                        // 7
                             "report 0 1 2 3\n"                               // 8
                             "report 0x104\n"                                 // 9
                             "null\n"                                         // 10
                             "bogus line here\n"                              // 11
                             "status 1 2\n"                                   // 12
                             "status 0x10 0 0\n"                              // 13
                             "mark done\n";                                   // 14

std::mutex DeliveriesLock;
std::vector<DELIVERY> Deliveries;

size_t ScenarioRecordSize(uint32_t type)
{
    return type == 259 ? 15 : type == 258 ? 12 : 4;
}

// Does with each report what the program does: raw payloads go back, button bytes are
// checked and followed up.
int32_t RecordingCallback(const TouchReport* report)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(report);
    DELIVERY delivery{GetCurrentThreadId(), report == nullptr, 0, {}, bytes, 0};
    if (report != nullptr) {
        delivery.type = bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                        static_cast<uint32_t>(bytes[3]) << 24;
        const size_t size = ScenarioRecordSize(delivery.type);
        delivery.bytes.assign(bytes, bytes + size);
        MEMORY_BASIC_INFORMATION page{};
        const uintptr_t pastEnd = (reinterpret_cast<uintptr_t>(bytes) + size + 7) & ~uintptr_t{7};
        VirtualQuery(reinterpret_cast<const void*>(pastEnd), &page, sizeof page);
        delivery.protectionPastEnd = page.Protect;
        if (delivery.type == 258) {
            TpForwardRawReport(bytes + 4);
        }
        if (delivery.type == 259 && bytes[12] != 0 && TpCheckButtonFlags(bytes[12]) != 0) {
            TpButtonFollowUp(0);
        }
    }
    std::lock_guard<std::mutex> hold(DeliveriesLock);
    Deliveries.push_back(delivery);
    return 0;
}

size_t DeliveryCount()
{
    std::lock_guard<std::mutex> hold(DeliveriesLock);
    return Deliveries.size();
}

std::string Hex(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const uint8_t byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0xF];
    }
    return hex;
}

std::string PointerText(const void* pointer)
{
    char text[32];
    wsprintfA(text, "0x%I64x",
              static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(pointer)));
    return text;
}

class SimulatedLibrary : public ::testing::Test {
protected:
    static std::wstring ScenarioPath;
    static std::wstring LogPath;
    static std::wstring PipeName;
    static std::vector<int32_t> ConnectResults;
    static int32_t TrayModeAnswer;
    static int32_t DisabledAnswer;
    static size_t DeliveredBeforeDisconnect;
    static bool DisconnectLineAtOnce;
    static std::vector<LOGLINE> Log;

    // The whole run happens once; each test looks at one side of it.
    static void SetUpTestSuite()
    {
        ScenarioPath = TempFilePath(L"padsim-scenario.txt");
        LogPath = TempFilePath(L"padsim-library.log");
        PipeName = L"\\\\.\\pipe\\" + UniqueName(L"QuibPadSimLibraryTest");
        WriteTextFile(ScenarioPath, Scenario);
        SetEnvironmentVariableW(L"QUIBSIM_SCENARIO", ScenarioPath.c_str());
        SetEnvironmentVariableW(L"QUIBSIM_LOG", LogPath.c_str());
        SetEnvironmentVariableW(L"QUIBSIM_PIPE", PipeName.c_str());

        for (int attempt = 0; attempt < 3; ++attempt) {
            ConnectResults.push_back(TpConnect(GetModuleHandleW(nullptr), RecordingCallback));
        }
        TrayModeAnswer = TpGetTrayMode();
        DisabledAnswer = TpIsDisabled();
        WaitUntil([] { return DeliveryCount() >= 6; });
        WaitForLogLine(LogPath, {{"event", "mark"}, {"text", "done"}});

        DisconnectWhileAReportIsSent();
        Log = ReadLogLines(LogPath);
    }

    // After TpDisconnect a report sent over the pipe is held, not delivered, until the next
    // accepted TpConnect.
    static void DisconnectWhileAReportIsSent()
    {
        TpDisconnect();
        DisconnectLineAtOnce =
            !LinesWith(ReadLogLines(LogPath), {{"call", "TpDisconnect"}}).empty();
        DeliveredBeforeDisconnect = DeliveryCount();
        char reply[64] = {};
        DWORD replySize = 0;
        char message[] = "status 0 9 0";
        CallNamedPipeW(PipeName.c_str(), message, sizeof message - 1, reply, sizeof reply - 1,
                       &replySize, 5000);
        WaitForLogLine(LogPath, {{"event", "held"}, {"n", "7"}});
        ConnectResults.push_back(TpConnect(GetModuleHandleW(nullptr), RecordingCallback));
        WaitUntil([] { return DeliveryCount() > DeliveredBeforeDisconnect; });
        TpDisconnect();
    }

    static void TearDownTestSuite()
    {
        if (::testing::UnitTest::GetInstance()->current_test_suite()->Passed()) {
            DeleteFileW(LogPath.c_str());
            DeleteFileW(ScenarioPath.c_str());
        }
    }

    static std::vector<DELIVERY> TakeDeliveries()
    {
        std::lock_guard<std::mutex> hold(DeliveriesLock);
        return Deliveries;
    }
};

std::wstring SimulatedLibrary::ScenarioPath;
std::wstring SimulatedLibrary::LogPath;
std::wstring SimulatedLibrary::PipeName;
std::vector<int32_t> SimulatedLibrary::ConnectResults;
int32_t SimulatedLibrary::TrayModeAnswer = 0;
int32_t SimulatedLibrary::DisabledAnswer = 0;
size_t SimulatedLibrary::DeliveredBeforeDisconnect = 0;
bool SimulatedLibrary::DisconnectLineAtOnce = false;
std::vector<LOGLINE> SimulatedLibrary::Log;

TEST_F(SimulatedLibrary, RefusesAsScriptedThenLinks)
{
    EXPECT_EQ(ConnectResults, (std::vector<int32_t>{-1, -1, 1, 1}));
    const auto connects = LinesWith(Log, {{"call", "TpConnect"}});
    ASSERT_EQ(connects.size(), 4u);
    EXPECT_EQ(connects[0].at("ret"), "-1");
    EXPECT_EQ(connects[2].at("ret"), "1");
    EXPECT_EQ(connects[2].at("instance"), PointerText(GetModuleHandleW(nullptr)));
    EXPECT_EQ(connects[2].at("callback"),
              PointerText(reinterpret_cast<const void*>(RecordingCallback)));
}

TEST_F(SimulatedLibrary, AnswersPollsWithTheScriptedState)
{
    EXPECT_EQ(TrayModeAnswer, 2);
    EXPECT_EQ(DisabledAnswer, 1);
    EXPECT_EQ(LinesWith(Log, {{"call", "TpGetTrayMode"}, {"ret", "2"}}).size(), 1u);
    EXPECT_EQ(LinesWith(Log, {{"call", "TpIsDisabled"}, {"ret", "1"}}).size(), 1u);
    EXPECT_EQ(LinesWith(Log,
                        {{"event", "set"}, {"name", "refuse"}, {"count", "2"}, {"value", "-1"}})
                  .size(),
              1u);
}

TEST_F(SimulatedLibrary, DeliversTheScenariosReportsInOrder)
{
    const std::vector<DELIVERY> deliveries = TakeDeliveries();
    ASSERT_EQ(deliveries.size(), 7u);
    const uint32_t types[] = {259, 258, 0, 0x104};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_FALSE(deliveries[i].isNull) << i;
        EXPECT_EQ(deliveries[i].type, types[i]) << i;
    }
    EXPECT_TRUE(deliveries[4].isNull);
    EXPECT_EQ(deliveries[5].type, 259u);
    EXPECT_EQ(deliveries[6].type, 259u);
}

TEST_F(SimulatedLibrary, StatusRecordsCarryButtonsFingersAndContactAtTwelveToFourteen)
{
    const std::vector<DELIVERY> deliveries = TakeDeliveries();
    ASSERT_EQ(deliveries.size(), 7u);
    const struct {
        size_t index;
        uint8_t buttons, fingers, contact;
    } expected[] = {{0, 0x05, 3, 4}, {5, 0x10, 0, 0}, {6, 0, 9, 0}};
    for (const auto& row : expected) {
        const std::vector<uint8_t>& bytes = deliveries[row.index].bytes;
        EXPECT_EQ(bytes[12], row.buttons) << row.index;
        EXPECT_EQ(bytes[13], row.fingers) << row.index;
        EXPECT_EQ(bytes[14], row.contact) << row.index;
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 12),
                  std::vector<uint8_t>(8, 0))
            << row.index;
    }
}

TEST_F(SimulatedLibrary, RawRecordsCarryTheirPayloadAfterTheType)
{
    const std::vector<DELIVERY> deliveries = TakeDeliveries();
    ASSERT_GE(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[1].bytes,
              (std::vector<uint8_t>{0x02, 0x01, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7}));
    const auto forwards = LinesWith(Log, {{"call", "TpForwardRawReport"}});
    ASSERT_EQ(forwards.size(), 1u);
    EXPECT_EQ(forwards[0].at("payload"), "+4");
}

TEST_F(SimulatedLibrary, ReportsComeFromOneThreadOfTheLibrarysOwn)
{
    const std::vector<DELIVERY> deliveries = TakeDeliveries();
    ASSERT_FALSE(deliveries.empty());
    const DWORD deliveryThread = deliveries[0].threadId;
    EXPECT_NE(deliveryThread, GetCurrentThreadId());
    for (const DELIVERY& delivery : deliveries) {
        EXPECT_EQ(delivery.threadId, deliveryThread);
    }
    const std::string tid = std::to_string(deliveryThread);
    for (const LOGLINE& line : LinesWith(Log, {{"event", "deliver"}})) {
        EXPECT_EQ(line.at("tid"), tid);
    }
    EXPECT_EQ(LinesWith(Log, {{"call", "TpForwardRawReport"}, {"tid", tid}}).size(), 1u);
}

TEST_F(SimulatedLibrary, LogsEveryDeliveryWithItsBytes)
{
    const auto delivered = LinesWith(Log, {{"event", "deliver"}});
    ASSERT_EQ(delivered.size(), 7u);
    const struct {
        const char* type;
        std::vector<uint8_t> bytes;
    } expected[] = {
        {"259", {3, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 3, 4}},
        {"258", {2, 1, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7}},
        {"0", {0, 0, 0, 0, 1, 2, 3}},
        {"260", {4, 1, 0, 0}},
    };
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(delivered[i].at("n"), std::to_string(i + 1));
        EXPECT_EQ(delivered[i].at("type"), expected[i].type);
        EXPECT_EQ(delivered[i].at("len"), std::to_string(expected[i].bytes.size()));
        EXPECT_EQ(delivered[i].at("bytes"), Hex(expected[i].bytes));
    }
    EXPECT_EQ(delivered[4].count("record"), 1u);
    EXPECT_EQ(delivered[4].at("record"), "null");
}

// A read past a record's end faults instead of finding stale bytes, and a pointer kept past
// the call finds the record overwritten.
TEST_F(SimulatedLibrary, RecordsEndAtAnInaccessiblePageAndDieWithTheCall)
{
    const std::vector<DELIVERY> deliveries = TakeDeliveries();
    ASSERT_EQ(deliveries.size(), 7u);
    for (const DELIVERY& delivery : deliveries) {
        if (!delivery.isNull) {
            EXPECT_EQ(delivery.protectionPastEnd, static_cast<DWORD>(PAGE_NOACCESS))
                << delivery.type;
        }
    }
    const uint8_t* kept = deliveries[3].address;  // the 4-byte record of type 0x104
    EXPECT_EQ(std::vector<uint8_t>(kept, kept + 4), std::vector<uint8_t>(4, 0xDD));
}

TEST_F(SimulatedLibrary, ButtonChecksAnswerAsScripted)
{
    for (const char* flags : {"5", "16"}) {
        EXPECT_EQ(
            LinesWith(Log, {{"call", "TpCheckButtonFlags"}, {"flags", flags}, {"ret", "7"}}).size(),
            1u)
            << flags;
    }
    EXPECT_EQ(LinesWith(Log, {{"call", "TpButtonFollowUp"}, {"arg", "0"}}).size(), 2u);
}

TEST_F(SimulatedLibrary, BadScenarioLinesAreLoggedAndSkipped)
{
    const auto summary = LinesWith(Log, {{"event", "scenario"}});
    ASSERT_EQ(summary.size(), 1u);
    EXPECT_EQ(summary[0].at("errors"), "2");
    EXPECT_EQ(summary[0].at("commands"), "11");
    const auto errors = LinesWith(Log, {{"event", "error"}, {"source", "scenario"}});
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].at("line"), "11");
    EXPECT_EQ(errors[0].at("text"), "unknown command 'bogus'");
    EXPECT_EQ(errors[1].at("line"), "12");
    EXPECT_EQ(errors[1].at("text"), "status: expected 'status FLAGS FINGERS CONTACT'");
    // The lines after them still played.
    EXPECT_EQ(LinesWith(Log, {{"event", "mark"}, {"text", "done"}}).size(), 1u);
}

TEST_F(SimulatedLibrary, DisconnectHoldsReportsUntilTheNextLink)
{
    EXPECT_TRUE(DisconnectLineAtOnce) << "TpDisconnect flushes the log before it returns";
    EXPECT_EQ(DeliveredBeforeDisconnect, 6u);
    EXPECT_EQ(LinesWith(Log, {{"event", "held"}, {"n", "7"}}).size(), 1u);
    EXPECT_EQ(TakeDeliveries().size(), 7u);
}

TEST_F(SimulatedLibrary, EveryLineNamesTimeThreadAndProcess)
{
    ASSERT_FALSE(Log.empty());
    const std::string pid = std::to_string(GetCurrentProcessId());
    std::map<std::string, unsigned long long> lastTimeOfThread;
    for (const LOGLINE& line : Log) {
        ASSERT_EQ(line.count("t"), 1u);
        ASSERT_EQ(line.count("tid"), 1u);
        EXPECT_EQ(line.at("pid"), pid);
        const unsigned long long t = std::stoull(line.at("t"));
        EXPECT_GE(t, lastTimeOfThread[line.at("tid")]) << line.at("tid");
        lastTimeOfThread[line.at("tid")] = t;
    }
    EXPECT_EQ(LinesWith(Log, {{"event", "start"}}).size(), 1u);
}

// The library owns the caller's areas for the call and writes them whole, never beyond.
TEST_F(SimulatedLibrary, WritesTheCallersAreasWholeAndNoFurther)
{
    const struct {
        size_t size;
        int32_t (*entry)(void*);
    } areas[] = {{MOUSE_SWAP_AREA_SIZE, TpMouseButtonSwapChanged}, {24, TpInitOnce}};
    for (const auto& area : areas) {
        std::vector<uint8_t> memory(area.size + 16, 0);
        area.entry(memory.data());
        EXPECT_EQ(std::count(memory.begin(), memory.begin() + area.size, 0), 0) << area.size;
        EXPECT_EQ(std::count(memory.begin() + area.size, memory.end(), 0), 16) << area.size;
    }
}

TEST_F(SimulatedLibrary, LogsCallsWithinAFewFlushIntervals)
{
    TpSetEnabled(42);
    const auto lines = WaitForLogLine(LogPath, {{"call", "TpSetEnabled"}, {"enabled", "42"}}, 2000);
    EXPECT_EQ(LinesWith(lines, {{"call", "TpSetEnabled"}, {"enabled", "42"}, {"ret", "0"}}).size(),
              1u);
}

// The library ships in the evaluation kit: what Explorer's Details tab shows of it (its
// description and product name) must say that it is simulated and not the maker's.
std::wstring VersionText(const std::wstring& path, const wchar_t* key)
{
    DWORD ignored = 0;
    std::vector<BYTE> record(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    wchar_t* text = nullptr;
    UINT length = 0;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
    if (record.empty() ||
        !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(record.size()), record.data()) ||
        !VerQueryValueW(record.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) {
        return std::wstring();
    }
    return std::wstring(text);
}

TEST(SimulatedLibraryVersion, SaysItIsSimulatedAndNotTheMakersLibrary)
{
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(GetModuleHandleW(L"QuibTPApi.dll"), path, MAX_PATH), 0u);
    for (const wchar_t* key : {L"FileDescription", L"ProductName"}) {
        const std::wstring text = VersionText(path, key);
        EXPECT_NE(text.find(L"imulated"), std::wstring::npos) << key;
        EXPECT_NE(text.find(L"not the maker's"), std::wstring::npos) << key;
    }
}

}  // namespace
