// The invariants of one page analysis, checked on any page text: the fuzz target calls this after
// every input, and a test can call it on pages of its own.
#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Runs AnalyzePage on the body HTML with the given page URL, twice, each time into a fresh
// temporary folder (under TMPDIR), and checks what the analysis must always guarantee:
//  - no work file failed, and the folder holds exactly the six work files afterwards;
//  - in each list pair, Links and frmList have the same length and no name repeats;
//  - every recorded URL is absolute (it starts with a scheme);
//  - the scratch files (checkImages.txt, checkImagesClean.txt, browser.txt, images.htm) hold
//    exactly CR LF after the analysis;
//  - every work file ends with CR LF and is valid UTF-8 without NUL bytes;
//  - source.htm and imagepage.html hold no markup but their own links, images and line breaks:
//    no "<script", and every href='...' or src='...' value is a linkable URL (never a
//    javascript: one) that belongs to a recorded name or image;
//  - source.htm with its links taken out is exactly the page text escaped for display;
//  - imagepage.html has one entry per shown image, in list order, each captioned with its URL;
//  - both runs give the same lists and byte-identical work files;
//  - the other views of the source (analysis/SourceViews.h), of the body as shown with every
//    choice of options and of the body's bytes as served with `servedCharset`: the default one
//    is source.htm; each other is valid UTF-8, its head the program's own, its body nothing but
//    numbered lines in blocks of equal size, colour spans, pieces of unwrapped lines and links to
//    recorded names, nested as written, every "&",
//    "<" and ">" of the page escaped; its lines are the page's lines, and its text with the
//    markup taken out and the references decoded is the page's text; its links, pieces joined,
//    stand where source.htm's do; "served.htm" and "shown.htm" are such views and CR LF;
//  - the source view in blocks is source.htm with a style first and a block ended after every
//    few line breaks;
//  - the served text is valid UTF-8 without NUL, and the bytes themselves when they are valid
//    UTF-8 and nothing names another encoding.
// Returns an empty string when all hold, else a message naming the first one broken.
std::string CheckAnalysisInvariants(const std::string& bodyHtml, const std::string& pageUrl,
                                    std::string_view servedCharset = "");

// The text that selecting all of a generated source view and copying it gives: the body's text
// without the markup, character references decoded.
std::string CopiedText(std::string_view view);

}  // namespace velmora
