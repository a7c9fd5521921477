#include "batchplan.h"

#include "filenamefilter.h"

#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

std::vector<QString> plannedFileNames(const std::vector<BatchRow> &rows)
{
    std::vector<QString> bases;
    bases.reserve(rows.size());
    // Every name a row proposes is kept free for that row, so that numbering one repeat can
    // never take the name of a later row ("Vase", "Vase", "Vase (2)").
    QSet<QString> taken;
    for (const BatchRow &row : rows) {
        QString base = proposedFileName(row.mainTitle);
        if (base.isEmpty()) {
            base = u"listing"_s;
        }
        if (!isWindowsDeviceName(base)) {
            taken.insert(base.toLower());
        }
        bases.push_back(std::move(base));
    }

    std::vector<QString> names;
    names.reserve(rows.size());
    QSet<QString> used;
    // Where the numbering of each name goes on, so that many repeats stay cheap.
    QHash<QString, int> nextNumber;
    for (const QString &base : bases) {
        const QString key = base.toLower();
        if (!isWindowsDeviceName(base) && !used.contains(key)) {
            used.insert(key);
            names.push_back(base + u".txt"_s);
            continue;
        }
        auto next = nextNumber.find(key);
        if (next == nextNumber.end()) {
            next = nextNumber.insert(key, 2);
        }
        for (int &n = next.value();; ++n) {
            const QString candidate = base + u" ("_s + QString::number(n) + u')';
            const QString candidateKey = candidate.toLower();
            if (!taken.contains(candidateKey)) {
                taken.insert(candidateKey);
                names.push_back(candidate + u".txt"_s);
                break;
            }
        }
    }
    return names;
}

ListingSettings listingForRow(const ListingSettings &folder, const BatchRow &row)
{
    ListingSettings settings = folder;
    settings.setText(TextField::MainTitle, row.mainTitle);
    settings.setText(TextField::SubTitle, row.subTitle);
    settings.setText(TextField::Description, row.description);
    settings.setText(TextField::Condition, row.condition);
    return settings;
}
