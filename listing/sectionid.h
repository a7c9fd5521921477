#pragma once

#include <QString>

#include <array>
#include <optional>

// The seven sections of a listing page. Their list names are what the section list shows,
// what "prefs.dat" stores and what the page writer looks for, always compared exactly.
enum class SectionId { Title, NoReserve, Description, Condition, Payment, Shipping, ThankYou };

inline constexpr std::array<SectionId, 7> AllSections{
    SectionId::Title,   SectionId::NoReserve, SectionId::Description, SectionId::Condition,
    SectionId::Payment, SectionId::Shipping,  SectionId::ThankYou};

// The sections a switch can take off the page; Title and Description are always there.
inline constexpr std::array<SectionId, 5> SwitchableSections{
    SectionId::NoReserve, SectionId::Condition, SectionId::Payment, SectionId::Shipping,
    SectionId::ThankYou};

QString listName(SectionId id);
std::optional<SectionId> sectionForListName(const QString &name);
bool isSwitchable(SectionId id);

// The order of a first start, before any saved order exists.
QStringList firstRunOrder();
