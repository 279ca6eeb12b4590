// The 29 language variants of the class menu and the text of each one's only item.
#pragma once

#include <windows.h>

struct ClassMenuVariant {
    LANGID language;
    const wchar_t* itemText;
};

// The product's own texts, oddities included: the Italian variant holds Japanese text,
// the Japanese one English, and the Turkish one two blanks before its last word.
inline constexpr ClassMenuVariant kClassMenuVariants[] = {
    {0x0014, L"Egenskap ved QUIB Touch Pad"},  // Norwegian (no sub-language)
    {0x0401, L"ملكية QUIB Touch Pad"},  // Arabic (Saudi Arabia)
    {0x0404, L"Debug Info Save"},  // Chinese (Taiwan)
    {0x0405, L"Vlastnost dotykového panelu QUIB Touch Pad"},  // Czech
    {0x0406, L"Ejendom af QUIB Touch Pad"},  // Danish
    {0x0407, L"Eigenschaften von QUIB Touch Pad"},  // German (Germany)
    {0x0408, L"Ιδιοκτησία της QUIB Touch Pad"},  // Greek
    {0x0409, L"Property of QUIB Touch Pad"},  // English (United States)
    {0x040B, L"QUIB Touch Pad-ohjauslevyn ominaisuudet"},  // Finnish
    {0x040C, L"Propriété du QUIB Touch Pad"},  // French (France)
    {0x040D, L"מאפייני QUIB Touch Pad"},  // Hebrew
    {0x040E, L"QUIB Touch Pad tulajdona"},  // Hungarian
    {0x0410, L"QUIB Touch Pad のプロパティ"},  // Italian (Italy)
    {0x0411, L"Property of QUIB Touch Pad"},  // Japanese
    {0x0412, L"QUIB Touch Pad 속성"},  // Korean
    {0x0413, L"Eigenschap van QUIB Touch Pad"},  // Dutch (Netherlands)
    {0x0415, L"Własność płytki dotykowej QUIB Touch Pad"},  // Polish
    {0x0416, L"Propriedade de QUIB Touch Pad"},  // Portuguese (Brazil)
    {0x0418, L"Proprietate a QUIB Touch Pad"},  // Romanian
    {0x0419, L"Свойства QUIB Touch Pad"},  // Russian
    {0x041A, L"Svojstva QUIB Touch Pad"},  // Croatian
    {0x041B, L"Vlastnosť QUIB Touch Pad"},  // Slovak
    {0x041D, L"Tillhör QUIB Touch Pad"},  // Swedish
    {0x041E, L"คุณสมบัติของ QUIB Touch Pad"},  // Thai
    {0x041F, L"QUIB Touch Pad  Mülkiyetindedir"},  // Turkish
    {0x0424, L"Lastnosti QUIB Touch Pad"},  // Slovenian
    {0x0804, L"QUIB Touch Pad 內容"},  // Chinese (PRC)
    {0x0816, L"Propriedade do QUIB Touch Pad"},  // Portuguese (Portugal)
    {0x0C04, L"QUIB Touch PadT 的属性"},  // Chinese (Hong Kong SAR)
};
