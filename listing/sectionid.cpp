#include "sectionid.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

QString listName(SectionId id)
{
    switch (id) {
    case SectionId::Title:
        return u"Title"_s;
    case SectionId::NoReserve:
        return u"No Reserve"_s;
    case SectionId::Description:
        return u"Description"_s;
    case SectionId::Condition:
        return u"Condition"_s;
    case SectionId::Payment:
        return u"Payment"_s;
    case SectionId::Shipping:
        return u"Shipping"_s;
    case SectionId::ThankYou:
        return u"Thank You"_s;
    }
    Q_UNREACHABLE();
}

std::optional<SectionId> sectionForListName(const QString &name)
{
    for (SectionId id : AllSections) {
        if (name == listName(id)) {
            return id;
        }
    }
    return std::nullopt;
}

bool isSwitchable(SectionId id)
{
    return std::find(SwitchableSections.begin(), SwitchableSections.end(), id) !=
           SwitchableSections.end();
}

QStringList firstRunOrder()
{
    QStringList order;
    for (SectionId id : AllSections) {
        order.append(listName(id));
    }
    return order;
}
