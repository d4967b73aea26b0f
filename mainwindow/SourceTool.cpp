#include "mainwindow/SourceTool.h"

#include <glibmm/convert.h>
#include <gtkmm/filechooserdialog.h>

#include <algorithm>
#include <utility>

#include "analysis/HtmlText.h"
#include "analysis/ImageCensus.h"
#include "analysis/ServedText.h"
#include "analysis/SourceView.h"
#include "common/ReplaceFile.h"
#include "common/SettingsStore.h"

namespace velmora {

namespace {

std::string_view Flag(bool on) {
  return on ? "1" : "0";
}

// The tabs the links between the source and the pictures bring to the front.
constexpr int kSourceTab = 1;
constexpr int kImagesTab = 2;

std::string FileUri(const std::filesystem::path& file) {
  return Glib::filename_to_uri(file.string());
}

// True when the pane shows the local file (at any of its anchors).
bool Shows(const BrowserControl& pane, const std::filesystem::path& file) {
  const std::string address = pane.LocationURL();
  gchar* shown =
      g_filename_from_uri(address.substr(0, address.find('#')).c_str(), nullptr, nullptr);
  const bool same = shown != nullptr && std::filesystem::path(shown) == file;
  g_free(shown);
  return same;
}

}  // namespace

SourceTool::SourceTool(BrowserControl& page, BrowserControl& sourcePane, const WorkFiles& files)
    : Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 4),
      optShown("As shown"),
      optServed("As served"),
      chkWrap("Wrap"),
      chkLineNumbers("Line numbers"),
      chkColours("Colours"),
      page_(page),
      sourcePane_(sourcePane),
      files_(files) {
  optShown.set_tooltip_text("The page as its scripts left it (Ctrl+U switches)");
  optServed.set_tooltip_text("The page as the server sent it (Ctrl+U switches)");
  chkWrap.set_tooltip_text("Wrap long lines");
  chkLineNumbers.set_tooltip_text("Number the lines");
  chkColours.set_tooltip_text("Colour tags, attributes, values and comments");
  set_border_width(2);
  for (Gtk::ToggleButton* button :
       {&optShown, &optServed, &chkWrap, &chkLineNumbers, &chkColours}) {
    button->set_can_focus(false);
    pack_start(*button, Gtk::PACK_SHRINK, button == &chkWrap ? 12 : 0);
    button->signal_toggled().connect([this, button] {
      if (settingButtons_) return;
      // The pair acts as one choice: pressing the chosen one again keeps it chosen.
      if (button == &optShown) optServed.set_active(!optShown.get_active());
      if (button == &optServed) optShown.set_active(!optServed.get_active());
      FromButtons();
    });
  }
  ShowButtons();
  show_all();
  set_no_show_all(true);
  hide();
}

void SourceTool::Attach(Form1Seams& settings, Gtk::Layout& client, StatusBar& status,
                        std::function<void()> placePanes) {
  settings_ = &settings;
  report_ = [&status](const std::string& text) { status.SetPanelText(1, text); };
  client.put(*this, 0, 0);
  // After the default handlers: the bar is then visible (or hidden) already.
  signal_show().connect(placePanes, true);
  signal_hide().connect(placePanes, true);
  namespace keys = setting_keys;
  SourceChoices loaded;
  loaded.served = settings_->GetSetting(keys::kSourceServed, "0") == "1";
  loaded.options.wrap = settings_->GetSetting(keys::kSourceWrap, "1") == "1";
  loaded.options.lineNumbers = settings_->GetSetting(keys::kSourceLineNumbers, "0") == "1";
  loaded.options.colours = settings_->GetSetting(keys::kSourceColours, "0") == "1";
  choices_ = loaded;
  ShowButtons();
}

void SourceTool::PlaceAbove(Gtk::Layout& client, int left, int& top, int width, int& height) {
  if (!get_visible()) return;
  int minimum = 0;
  int natural = 0;
  get_preferred_height(minimum, natural);
  const int barHeight = std::min(natural, height);
  client.move(*this, left, top);
  set_size_request(width, barHeight);
  top += barHeight;
  height -= barHeight;
}

void SourceTool::SaveChoices() const {
  if (settings_ == nullptr) return;
  namespace keys = setting_keys;
  settings_->SaveSetting(keys::kSourceServed, Flag(choices_.served));
  settings_->SaveSetting(keys::kSourceWrap, Flag(choices_.options.wrap));
  settings_->SaveSetting(keys::kSourceLineNumbers, Flag(choices_.options.lineNumbers));
  settings_->SaveSetting(keys::kSourceColours, Flag(choices_.options.colours));
}

void SourceTool::ShowButtons() {
  settingButtons_ = true;
  optShown.set_active(!choices_.served);
  optServed.set_active(choices_.served);
  chkWrap.set_active(choices_.options.wrap);
  chkLineNumbers.set_active(choices_.options.lineNumbers);
  chkColours.set_active(choices_.options.colours);
  settingButtons_ = false;
}

void SourceTool::FromButtons() {
  SourceChoices chosen;
  chosen.served = optServed.get_active();
  chosen.options.wrap = chkWrap.get_active();
  chosen.options.lineNumbers = chkLineNumbers.get_active();
  chosen.options.colours = chkColours.get_active();
  SetChoices(chosen);
}

void SourceTool::SetChoices(const SourceChoices& choices) {
  const bool changed = choices.served != choices_.served ||
                       choices.options.wrap != choices_.options.wrap ||
                       choices.options.lineNumbers != choices_.options.lineNumbers ||
                       choices.options.colours != choices_.options.colours;
  choices_ = choices;
  ShowButtons();
  if (!changed) return;
  SaveChoices();
  ShowView();
}

void SourceTool::ToggleServed() {
  SourceChoices toggled = choices_;
  toggled.served = !toggled.served;
  SetChoices(toggled);
}

void SourceTool::PageAnalysed(SharedSnapshot page, const ListPairs& lists,
                              const std::vector<CensusImage>& census,
                              const std::filesystem::path& sourceView) {
  analysed_ = true;
  read_ = std::move(page);
  lists_ = lists;
  census_ = census;
  defaultView_ = sourceView;
  served_.reset();
  ++*generation_;
  ShowView();
}

void SourceTool::ShowView() {
  if (!analysed_) return;
  if (choices_.served) {
    ShowServedView();
    return;
  }
  if (choices_.options.IsSourceHtm() && IsLargeSource(read_->bodyHtml)) {
    // The analysis wrote "source.htm"; the pane shows the same view in blocks, which the engine
    // shows at once however long the page. Like "source.htm", it is made from the body made
    // well-formed.
    const std::string& body = read_->bodyHtml;
    const std::error_code failed = files_.WriteRecord(workfile::kSourceBlocks, [&](TextSink& out) {
      if (html::IsWellFormedUtf8(body)) {
        WriteSourceViewInBlocks(body, lists_, census_, out);
      } else {
        WriteSourceViewInBlocks(html::WellFormedUtf8(body), lists_, census_, out);
      }
    });
    shownFile_ = files_.PathOf(workfile::kSourceBlocks);
    if (failed) {
      if (report_)
        report_("Could not write " + shownFile_.filename().string() + ": " + failed.message());
      return;
    }
  } else if (choices_.options.IsSourceHtm()) {
    // The analysis wrote it.
    shownFile_ = defaultView_;
  } else {
    const std::error_code failed =
        WriteShownView(read_->bodyHtml, lists_, census_, choices_.options, files_);
    shownFile_ = files_.PathOf(ShownViewFile(choices_.options));
    if (failed && report_) {
      report_("Could not write " + shownFile_.filename().string() + ": " + failed.message());
      return;
    }
  }
  LoadInPane(shownFile_);
}

void SourceTool::ShowServedView() {
  if (!served_) {
    // Read once per analysis; the answer shows the view of the choices it finds.
    const std::weak_ptr<unsigned> generation = generation_;
    const unsigned asked = *generation_;
    page_.GetServedPage([this, generation, asked](const BrowserControl::ServedPage& page) {
      const auto now = generation.lock();
      if (!now || *now != asked || served_) return;
      served_ = page;
      if (choices_.served) ShowServedView();
    });
    return;
  }
  if (!served_->error.empty() && served_->bytes.empty()) {
    if (report_) report_("Could not read the page as served: " + served_->error);
    return;
  }
  const std::error_code failed = WriteServedView(served_->bytes, served_->contentType, lists_,
                                                 census_, choices_.options, files_);
  shownFile_ = files_.PathOf("served.htm");
  if (failed) {
    if (report_) report_("Could not write served.htm: " + failed.message());
    return;
  }
  LoadInPane(shownFile_);
}

void SourceTool::LoadInPane(const std::filesystem::path& file) {
  // A "Show in Source Code" still waiting was for the document this one replaces.
  pending_.reset();
  paneLoading_ = true;
  sourcePane_.Navigate(file.string());
}

}  // namespace velmora

// ---- Linked with the Images tool ---------------------------------------------------------------

namespace velmora {

void SourceTool::LinkWith(ImagesTool& images, std::function<void(int tab)> selectTab) {
  selectTab_ = std::move(selectTab);
  sourcePane_.LinkOpenedAside.connect([this, &images](const std::string& url) {
    if (images.ShowPicture(url) && selectTab_) selectTab_(kImagesTab);
  });
  images.ShowInSourceAsked.connect([this](const PictureEntry& entry) { ShowPicture(entry); });
  sourcePane_.DownloadBegin.connect([this] { paneLoading_ = true; });
  sourcePane_.DownloadComplete.connect([this](const SharedSnapshot&) { PaneLoaded(); });
}

bool SourceTool::ShowPicture(const PictureEntry& entry) {
  const auto say = [this](const std::string& text) {
    if (report_) report_(text);
    return false;
  };
  const std::string& name = entry.picture.name.empty() ? entry.picture.url : entry.picture.name;
  if (!analysed_) return say("There is no page source to show " + name + " in");
  // The text of the view the choices show.
  std::string decoded;
  std::string_view text = read_->bodyHtml;
  if (choices_.served) {
    if (!served_) return say("The page as served is still being read");
    if (served_->bytes.empty()) return say("Could not read the page as served: " + served_->error);
    decoded = DecodeServedPage(served_->bytes, served_->contentType).text;
    text = decoded;
  }
  const NamingLine line = FirstLineNamingAny(text, NamesOfPicture(entry, lists_));
  if (line.line == 0) return say("No line of the source names " + name);

  if (selectTab_) selectTab_(kSourceTab);
  // The keys move on from there; the find's selection shows as the focused pane's.
  sourcePane_.Widget().grab_focus();
  Pending wanted;
  if (choices_.served || !choices_.options.IsSourceHtm()) {
    wanted.address = FileUri(shownFile_) + "#" + LineAnchor(line.line);
  } else {
    wanted.find = line.name;
  }
  pending_ = std::move(wanted);
  // A load under way ends first: the anchor or the find is for the document it brings.
  if (!paneLoading_) PaneLoaded();
  return true;
}

void SourceTool::PaneLoaded() {
  paneLoading_ = false;
  if (!pending_) return;
  Pending wanted = std::move(*pending_);
  pending_.reset();
  if (!wanted.address.empty()) {
    sourcePane_.Navigate(wanted.address);
    return;
  }
  if (!Shows(sourcePane_, shownFile_)) {
    // The pane shows a page a link led to (or is gone from the view): the view comes back
    // first, once.
    if (wanted.reloaded) return;
    LoadInPane(shownFile_);
    wanted.reloaded = true;
    pending_ = std::move(wanted);
    return;
  }
  // From the top of the page: a find already under way would move on to its next match.
  sourcePane_.EndFind();
  sourcePane_.Find(wanted.find, false);
}

}  // namespace velmora

namespace velmora {

void SourceTool::AddSaveItem(Gtk::Menu& menu, int position) {
  mnuSaveSource.set_label("Save Source As\u2026");
  mnuSaveSource.set_use_underline(false);
  menu.insert(mnuSaveSource, position);
  mnuSaveSource.signal_activate().connect([this] { SaveSource(); });
}

void SourceTool::SaveSource() {
  if (!analysed_) {
    if (report_) report_("There is no page to save the source of");
    return;
  }
  if (choices_.served && !served_) {
    // The bytes come first; the save follows them.
    const std::weak_ptr<unsigned> generation = generation_;
    const unsigned asked = *generation_;
    page_.GetServedPage([this, generation, asked](const BrowserControl::ServedPage& page) {
      const auto now = generation.lock();
      if (!now || *now != asked) return;
      if (!served_) served_ = page;
      SaveSource();
    });
    return;
  }
  if (choices_.served && served_->bytes.empty() && !served_->error.empty()) {
    if (report_) report_("Could not read the page as served: " + served_->error);
    return;
  }
  std::string name = "source.html";
  if (served_ && !served_->url.empty()) {
    const std::string last = ImageFileName(served_->url);
    if (!last.empty()) name = last;
  }
  if (!askSaveFile) {
    askSaveFile = [this](const std::string& proposed) -> std::optional<std::filesystem::path> {
      Gtk::FileChooserDialog dialog("Save Source As", Gtk::FILE_CHOOSER_ACTION_SAVE);
      if (auto* top = dynamic_cast<Gtk::Window*>(get_toplevel())) dialog.set_transient_for(*top);
      dialog.add_button("_Cancel", Gtk::RESPONSE_CANCEL);
      dialog.add_button("_Save", Gtk::RESPONSE_ACCEPT);
      dialog.set_do_overwrite_confirmation(true);
      dialog.set_current_name(proposed);
      if (dialog.run() != Gtk::RESPONSE_ACCEPT) return std::nullopt;
      return std::filesystem::path(dialog.get_filename());
    };
  }
  const auto file = askSaveFile(name);
  if (!file) return;
  WriteSource(*file, choices_.served ? std::string_view(served_->bytes)
                                     : std::string_view(read_->bodyHtml));
}

void SourceTool::WriteSource(const std::filesystem::path& file, std::string_view text) {
  const std::error_code failed = ReplaceFile(file, text);
  if (report_) {
    report_(failed ? "Could not save " + file.filename().string() + ": " + failed.message()
                   : "Saved " + file.filename().string());
  }
}

}  // namespace velmora
