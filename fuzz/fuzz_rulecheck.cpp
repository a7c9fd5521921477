#include "fuzzcheck.h"
#include "rulecheck.h"

#include <algorithm>

// A page: any bytes, a U+001F byte ending each section but the last, checked as a listing's
// page is checked. Debian's libgumbo keeps its assertions on, so a page it trips over aborts
// here as it would abort the composer. Every finding stands in the page, in page order, with
// its markup; but for an element the parser makes of its own, which stands nowhere in the page.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray page = fuzzInput(data, size);
    std::vector<SectionSpan> sections;
    for (qsizetype begin = 0; begin <= page.size();) {
        const qsizetype separator = page.indexOf('\x1F', begin);
        const qsizetype end = separator < 0 ? page.size() : separator;
        sections.push_back({QString::number(sections.size()), begin, end});
        begin = end + 1;
    }
    const std::vector<MarkupFinding> findings = findRejectedMarkup(page, sections);
    Q_ASSERT(std::is_sorted(
        findings.begin(), findings.end(),
        [](const MarkupFinding &a, const MarkupFinding &b) { return a.offset < b.offset; }));
    Q_ASSERT(std::all_of(findings.begin(), findings.end(), [&](const MarkupFinding &f) {
        return (f.offset >= 0 && f.offset < page.size() && !f.markup.isEmpty()) ||
               (f.offset == -1 && f.markup.isEmpty());
    }));
    return 0;
}
