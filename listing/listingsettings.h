#pragma once

#include "colorset.h"
#include "fontfamily.h"
#include "sectionid.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The nine texts of a listing.
enum class TextField {
    MainTitle,
    SubTitle,
    Description,
    NoReserve,
    Condition,
    Payment,
    Shipping,
    ThankYou,
    AuctionId,
};
inline constexpr int TextFieldCount = 9;

// A section's alignment as its menu shows it. The page only asks "centred or not", but
// the menus must show whether either item was ever chosen, so "not chosen yet" is kept.
enum class Alignment { NotChosen, Centered, Left };

struct SectionStyle
{
    std::optional<int> fontSize; // 1..7, or unset until the seller picks a size
    Alignment alignment = Alignment::NotChosen;

    bool centered() const { return alignment == Alignment::Centered; }
    friend bool operator==(const SectionStyle &, const SectionStyle &) = default;
};

enum class HeaderLook { SolidBar, FolderTab };
enum class HeaderAlign { Left, Center, Right };

// Everything that decides what a listing page looks like. A default-constructed value is
// the state of a freshly created main window: empty texts, no size or alignment chosen,
// Solid Bar, Left Justified headers, Arial, blank colours, an empty order, switches off.
class ListingSettings
{
public:
    static constexpr qsizetype MainTitleMaxLength = 55;
    static constexpr int MinFontSize = 1;
    static constexpr int MaxFontSize = 7;

    const QString &text(TextField field) const { return m_texts[index(field)]; }
    // The main title is cut to its 55 characters (code points), as its box allows.
    void setText(TextField field, const QString &value);

    const SectionStyle &style(SectionId id) const { return m_styles[index(id)]; }
    // Sizes outside 1..7 are refused, so a size is either unset or valid.
    void setFontSize(SectionId id, int size);
    void setCentered(SectionId id, bool centered);

    std::optional<int> headerSize() const { return m_headerSize; }
    void setHeaderSize(int size);
    HeaderLook headerLook() const { return m_headerLook; }
    void setHeaderLook(HeaderLook look) { m_headerLook = look; }
    HeaderAlign headerAlign() const { return m_headerAlign; }
    void setHeaderAlign(HeaderAlign align) { m_headerAlign = align; }
    FontFamily fontFamily() const { return m_fontFamily; }
    void setFontFamily(FontFamily family) { m_fontFamily = family; }

    const ColorSet &colors() const { return m_colors; }
    void setColor(ColorSlotId slot, const QString &text) { m_colors.setSlot(slot, text); }
    void setColors(const ColorSet &colors) { m_colors = colors; }

    // The section list: names in page order. It decides alone what the page shows.
    const QStringList &sectionOrder() const { return m_order; }
    bool isSwitchedOn(SectionId id) const;

    // A switch changed by the seller or by start-up. Nothing happens unless the state
    // changes. Off removes the first row among the first seven that holds the section's
    // name; on appends the name, even when it is listed already. Sections without a
    // switch are never touched.
    void setSwitch(SectionId id, bool on);

    // The first-run state: all seven sections in their standard order, every switch on.
    void startFirstRun();

    // Start-up from saved slots appends names that have no switch (Title, Description and,
    // from a damaged file, any other text) exactly as found.
    void appendRestoredName(const QString &name) { m_order.append(name); }

    // Moving the selected row. Both return the row to select afterwards; at a bound or
    // with no selection (-1) nothing moves and the selection is returned unchanged.
    int moveUp(int selectedRow);
    int moveDown(int selectedRow);

    friend bool operator==(const ListingSettings &, const ListingSettings &) = default;

private:
    static size_t index(TextField f) { return static_cast<size_t>(f); }
    static size_t index(SectionId s) { return static_cast<size_t>(s); }

    std::array<QString, TextFieldCount> m_texts;
    std::array<SectionStyle, 7> m_styles;
    std::optional<int> m_headerSize;
    HeaderLook m_headerLook = HeaderLook::SolidBar;
    HeaderAlign m_headerAlign = HeaderAlign::Left;
    FontFamily m_fontFamily = FontFamily::Arial;
    ColorSet m_colors;
    QStringList m_order;
    std::array<bool, 7> m_switchedOn{};
};
