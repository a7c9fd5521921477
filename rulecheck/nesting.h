#pragma once

#include <QByteArray>
#include <QByteArrayView>

// More elements open at once than any real listing holds. The parser's work per tag grows
// with the elements open, so a page nested deeper costs it time that grows with the square of
// its length; such a page is refused rather than parsed.
inline constexpr int MaxOpenElements = 2000;

// The elements open at each tag, summed over the page: the parser looks through those open
// for most tags, so a page of many tags in deep nesting, each under the limit above, costs it
// this much. A real listing of 100,000 tags stays under it as long as 200 elements are open
// on average. Each formatting element the parser reopens (one left open in a paragraph, at the
// next text) counts a hundred times.
inline constexpr qint64 MaxNestingWork = 20'000'000;

// More differently named attributes in one tag than any real listing writes. The parser
// compares each new attribute name with every earlier one of its tag.
inline constexpr int MaxAttributes = 512;

// What a linear reading of a page, before the parse, tells of the parse's cost.
struct NestingBound
{
    // The tag at which more than MaxOpenElements would stand open, or the work passes
    // MaxNestingWork.
    qsizetype tooDeepAt = -1;
    qsizetype crowdedAt = -1; // a tag with more than MaxAttributes attribute names
    qsizetype deepestAt = -1; // the start tag at which the most elements stand open
    int deepest = 0;          // how many elements stand open there
};

// Reads the bytes as the parser's tokenizer does (tags and their attributes, comments, raw
// text, foreign content) and follows the elements that stay open, closing them where the
// parser's tree builder would close them at the latest. The count is an upper bound of what
// the parser holds open: where the parser might close fewer elements, fewer are closed here.
// It stops at the first tag past a limit.
//
// On the way it finds what the parser itself misreads, and sets *forParser to a copy of the
// bytes, of the same length, that the parser reads right (left null when the bytes need no
// change; only the part up to the tag past a limit is seen to):
// - an attribute whose name the tag already has is blanked, name and value, with spaces: a
//   browser keeps the first and reads on, while the parser runs the names after it together;
// - an "isindex" tag is given another name, of the same length, that the parser does not know:
//   the parser makes a form of it, a browser an unknown element;
// - a "<![CDATA[" is made a comment up to the first ">", as it reads in HTML content. In SVG
//   and MathML content it opens a section of text up to "]]>", which the parser, at an
//   element that holds HTML inside a table, inserts in a way that fails its own assertion.
//   Read as a comment, nothing in the section is lost: what follows the ">" is read as
//   markup, though for a browser it would be text.
NestingBound boundNesting(QByteArrayView text, QByteArray *forParser = nullptr);
