// The views of a page's source beside the default "source.htm": the body as shown or the
// document as served, with long lines wrapped or not, lines numbered or not, markup coloured or
// not. Each is a page of its own: a head with the program's own style, then one div per line of
// the page's text (its id the line's number: "1", "2", ...), holding that line and its line
// break as text. Everything
// of the page is text ("&", "<" and ">" escaped, CR as "&#13;"), so nothing of it runs; the only
// markup is the program's: the lines, spans that colour tag names, attribute names, attribute
// values, comments and the doctype (text keeps the page's colour), and links on the recorded
// picture names, placed by the same rule as in "source.htm" (analysis/SourceLinks.h). A line's
// number is its id shown by the style, so selecting and copying from a view gives the page's
// text alone.
//
// "source.htm" itself stays as it is: the view with Wrap on, Line numbers off and Colours off of
// the body as shown, which its line breaks ("<BR>") and its plain text always wrap. It shows the
// page's character references decoded, where the generated views show the text exactly.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "analysis/ImageCensus.h"
#include "analysis/PictureChoice.h"
#include "analysis/TextSink.h"
#include "analysis/WorkFiles.h"

namespace velmora {

struct ListPairs;

// The three choices of the Source Code tab. The defaults give "source.htm".
struct SourceViewOptions {
  bool wrap = true;
  bool lineNumbers = false;
  bool colours = false;

  bool IsSourceHtm() const noexcept { return wrap && !lineNumbers && !colours; }
};

// The generated view of a text (valid UTF-8 without NUL is shown as it is; any other byte and
// every NUL as U+FFFD). Ends with "</html>"; the work file adds CR LF.
void WriteSourceViewPage(std::string_view text, const ListPairs& lists,
                         const std::vector<CensusImage>& census, const SourceViewOptions& options,
                         TextSink& out);
std::string BuildSourceViewPage(std::string_view text, const ListPairs& lists,
                                const std::vector<CensusImage>& census,
                                const SourceViewOptions& options);

// The view of the body as shown: "source.htm"'s text for the default options, else the
// generated view of the body.
void WriteShownView(std::string_view body, const ListPairs& lists,
                    const std::vector<CensusImage>& census, const SourceViewOptions& options,
                    TextSink& out);

// The work file that holds the view of the body as shown with these options: "source.htm" for
// the default options, else "shown.htm". The served view is always "served.htm".
std::string_view ShownViewFile(const SourceViewOptions& options) noexcept;

// Replaces ShownViewFile(options) with the view of the body as shown.
std::error_code WriteShownView(std::string_view body, const ListPairs& lists,
                               const std::vector<CensusImage>& census,
                               const SourceViewOptions& options, const WorkFiles& files);

// Replaces "served.htm" with the view of the served bytes, decoded as analysis/ServedText.h
// says; `charset` is the Content-Type header's charset (or the whole header), "" when none.
std::error_code WriteServedView(std::string_view servedBytes, std::string_view charset,
                                const ListPairs& lists, const std::vector<CensusImage>& census,
                                const SourceViewOptions& options, const WorkFiles& files);

// "Show in Source Code": the number (from 1) of the first line of the text that names the
// file name where a view may link it (not inside a character reference); 0 when no line does,
// or the name is empty. Lines end as in the views: at CR LF, a lone CR or a lone LF.
std::size_t FirstLineNaming(std::string_view text, std::string_view fileName);

// The names under which the source views show a picture: the file names of its addresses, and
// each name the list pairs record with one of its addresses (as the page writes it); each once.
std::vector<std::string> NamesOfPicture(const PictureEntry& entry, const ListPairs& lists);

// The first line of the text that names one of `names` (FirstLineNaming), and the first of the
// names that this line names; line 0 and no name when no line names any.
struct NamingLine {
  std::size_t line = 0;
  std::string name;
};
NamingLine FirstLineNamingAny(std::string_view text, const std::vector<std::string>& names);

// The id of a line's div in a generated view ("12"), for a jump to "served.htm#12"; the style
// marks the line the address names.
std::string LineAnchor(std::size_t line);

}  // namespace velmora
