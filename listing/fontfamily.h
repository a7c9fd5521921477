#pragma once

#include <QString>

// The page's one font family; each stands for the font list written into every "face".
enum class FontFamily {
    Arial,
    ArialBlack,
    ComicSans,
    CourierNew,
    Impact,
    LucidaConsole,
    LucidaSans,
    TimesNewRoman,
};

inline constexpr int FontFamilyCount = 8;

// The exact text of the face attribute, including its irregular blanks after commas.
QString fontList(FontFamily family);
