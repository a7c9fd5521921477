#include "listingsettings.h"

#include "textrules.h"

#include <utility>

namespace {

bool validSize(int size)
{
    return size >= ListingSettings::MinFontSize && size <= ListingSettings::MaxFontSize;
}

// A switch looks for its row among this many rows from the top and no further.
constexpr int SwitchSearchRows = 7;

} // namespace

void ListingSettings::setText(TextField field, const QString &value)
{
    m_texts[index(field)] =
        field == TextField::MainTitle ? leftCodePoints(value, MainTitleMaxLength) : value;
}

void ListingSettings::setFontSize(SectionId id, int size)
{
    if (validSize(size)) {
        m_styles[index(id)].fontSize = size;
    }
}

void ListingSettings::setCentered(SectionId id, bool centered)
{
    m_styles[index(id)].alignment = centered ? Alignment::Centered : Alignment::Left;
}

void ListingSettings::setHeaderSize(int size)
{
    if (validSize(size)) {
        m_headerSize = size;
    }
}

bool ListingSettings::isSwitchedOn(SectionId id) const
{
    return m_switchedOn[index(id)];
}

void ListingSettings::setSwitch(SectionId id, bool on)
{
    if (!isSwitchable(id) || m_switchedOn[index(id)] == on) {
        return;
    }
    m_switchedOn[index(id)] = on;
    const QString name = listName(id);
    if (on) {
        m_order.append(name);
        return;
    }
    const qsizetype rows = std::min<qsizetype>(m_order.size(), SwitchSearchRows);
    for (qsizetype row = 0; row < rows; ++row) {
        if (m_order[row] == name) {
            m_order.removeAt(row);
            return;
        }
    }
}

void ListingSettings::startFirstRun()
{
    m_order = firstRunOrder();
    for (SectionId id : SwitchableSections) {
        m_switchedOn[index(id)] = true;
    }
}

int ListingSettings::moveUp(int selectedRow)
{
    if (selectedRow <= 0 || selectedRow >= m_order.size()) {
        return selectedRow;
    }
    m_order.swapItemsAt(selectedRow, selectedRow - 1);
    return selectedRow - 1;
}

int ListingSettings::moveDown(int selectedRow)
{
    if (selectedRow < 0 || selectedRow >= m_order.size() - 1) {
        return selectedRow;
    }
    m_order.swapItemsAt(selectedRow, selectedRow + 1);
    return selectedRow + 1;
}
