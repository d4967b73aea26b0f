#include "mainwindow/Form1.h"

#include <glibmm/main.h>
#include <gtkmm/cssprovider.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <initializer_list>
#include <iterator>

#include "analysis/GalleryPage.h"
#include "analysis/UrlHelpers.h"
#include "common/KeptFiles.h"
#include "common/modIdentity.h"
#include "mainwindow/Shortcuts.h"
#include "skin/modSkin.h"

namespace velmora {

namespace {

constexpr int kEnterKey = 13;

// The window's controls are as compact as its design: buttons show their 24 x 24 picture above
// a small caption, and the row of tabs fits the 400 twips above the panes.
constexpr const char* kCompactCss =
    "notebook.tabstrip tab { padding: 2px 10px; min-height: 0; }"
    "entry.address-label { background: transparent; box-shadow: none; border: none; }";

// The address row is 315 twips high: its Go button shows its picture beside the caption.
constexpr ButtonDesign<Form1> kButtons[] = {
    {&Form1::cmbBack, "Back", "Back", "go-previous", 60, 60, 915, 500, true},
    {&Form1::cmdForward, "Forward", "Forward", "go-next", 1020, 60, 915, 500, true},
    {&Form1::cmdStop, "Stop", "Stop", "process-stop", 1980, 60, 915, 500, true},
    {&Form1::cmdRefresh, "Refresh", "Refresh", "view-refresh", 2940, 60, 915, 500, true},
    {&Form1::cmdBackDir, "Back Directory", "back 1 directory level", "go-up", 3900, 60, 1695, 500,
     true},
    {&Form1::Command1, "Send to Browser", "Send Page to Browser Tab", "go-jump", 5640, 60, 1695,
     500, true},
    {&Form1::cmdWebsite, "", nullptr, nullptr, kWebsiteLeft, kWebsiteTop, 0, kWebsiteHeight},
    {&Form1::cmdGo, "Go", "Go!", "go-jump", 0, kAddressTop, kGoWidth, kAddressHeight},
};

struct TabDesign {
  const char* caption;
  const char* tooltip;
};

constexpr TabDesign kTabs[] = {
    {"Browser", "Browser Identical to Internet Explorer"},
    {"Source Code", "View the Source Code of the Current Page"},
    {"Images", "Displays All Images and Links to Images on the Current Page"},
};

// The window opens with a client area of this size.
constexpr float kInitialClientWidth = 12135;
constexpr float kInitialClientHeight = 11100;

}  // namespace

Form1::Form1(Form1Parts parts)
    : sb1(0),
      sourceTool(*parts.panes[0], *parts.panes[1], workFiles_),
      panes_(std::move(parts.panes)),
      workFiles_(std::move(parts.workFiles)),
      fileDialog_(std::move(parts.fileDialog)),
      seams_(parts.seams),
      firstAddress_(std::move(parts.firstAddress)),
      downloadFolder_(parts.downloadFolder.empty() ? DefaultDownloadFolder()
                                                   : std::move(parts.downloadFolder)),
      latePictures_(*panes_[0], *panes_[2], workFiles_, lists, census) {
  if (seams_ == nullptr) {
    ownSeams_ = std::make_unique<Form1Seams>();
    seams_ = ownSeams_.get();
  }
  if (!fileDialog_) fileDialog_ = std::make_unique<GtkOpenFileDialog>();
  imagesTool_ = std::make_unique<ImagesTool>(
      ImagesToolParts{this, &wb(0), &wb(2), fileDialog_.get(), downloadFolder_, seams_,
                      [this](const std::string& text) { sb1.SetPanelText(1, text); },
                      [this](const std::string& url) { SelectTab(0), wb(0).Navigate(url); },
                      [this](Gtk::Window& window) { Dress(window); }, &saveImages_});
  set_title("Form1");
  BuildControls();
  sourceTool.Attach(*seams_, client_, sb1, [this] { PlacePanes(); });
  sourceTool.LinkWith(*imagesTool_, [this](int tab) { SelectTab(tab); });
  BuildMenus();
  ConnectEvents();
  int menuMinimum = 0;
  int menuNatural = 0;
  menuBar.get_preferred_height(menuMinimum, menuNatural);
  set_default_size(Pixels(kInitialClientWidth), Pixels(kInitialClientHeight) + menuNatural);
  add(vbox_);
  vbox_.show_all();
}

void Form1::BuildControls() {
  auto css = Gtk::CssProvider::create();
  css->load_from_data(kCompactCss);
  Gtk::StyleContext::add_provider_for_screen(get_screen(), css,
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  MakeButtons<Form1>(*this, kButtons, [this](Gtk::Widget& button, const TwipRect& place) {
    client_.put(button, Pixels(place.left), Pixels(place.top));
    if (place.width > 0) button.set_size_request(Pixels(place.width), Pixels(place.height));
  });

  // "URL:" is a borderless, read-only text box in the button-face colour.
  Text1.set_text("URL:");
  Text1.set_has_frame(false);
  Text1.set_editable(false);
  Text1.set_can_focus(false);
  Text1.set_width_chars(4);
  Text1.get_style_context()->add_class("address-label");
  client_.put(Text1, Pixels(60), Pixels(660));
  Text1.set_size_request(Pixels(495), Pixels(285));
  MakeCompactEntry(txtUrl);
  client_.put(txtUrl, Pixels(kAddressLeft), Pixels(kAddressTop));

  for (std::size_t i = 0; i < tabPages_.size(); ++i) {
    auto* label = Gtk::manage(new Gtk::Label(kTabs[i].caption));
    label->set_tooltip_text(kTabs[i].tooltip);
    TabStrip1.append_page(tabPages_[i], *label);
  }
  TabStrip1.get_style_context()->add_class("tabstrip");
  client_.put(TabStrip1, Pixels(25), Pixels(kTabStripTop));
  for (auto& pane : panes_) client_.put(pane->Widget(), 0, 0);
  SkinLabel1.push_back(std::make_unique<SkinLabel>());
  SkinLabel1[0]->set_no_show_all(true);
  client_.put(*SkinLabel1[0], 0, 0);
  client_.put(findBar, 0, 0);
  imagesTool_->AddTo(client_);

  // The status bar: docked at the bottom, its panels and the (hidden) progress bar inside.
  sb1.set_size_request(-1, Pixels(kStatusBarHeight));
  sb1.put(pb1, 0, 0);

  // No window size may reach the region where the layout mirrors its sizes.
  client_.set_size_request(Pixels(kMinimumOuterWidth),
                           Pixels(kMinimumOuterHeight - kFrameReserve - kStatusBarHeight));
  vbox_.pack_start(menuBar, Gtk::PACK_SHRINK);
  vbox_.pack_start(client_, Gtk::PACK_EXPAND_WIDGET);
  vbox_.pack_start(sb1, Gtk::PACK_SHRINK);
}

void Form1::BuildMenus() {
  std::size_t m = 0;
  const auto addMenu = [&](Gtk::MenuItem& top, const char* caption, auto& items,
                           std::initializer_list<const char*> captions) {
    top.set_label(caption);
    top.set_use_underline(false);
    for (std::size_t i = 0; i < items.size() && i < captions.size(); ++i) {
      items[i].set_label(captions.begin()[i]);
      items[i].set_use_underline(false);
      menus_[m].append(items[i]);
    }
    top.set_submenu(menus_[m++]);
    menuBar.append(top);
  };
  addMenu(mnuFile, "File", mnuFileItem, {"Open", "Exit", "Save Images\u2026"});
  addMenu(mnuGo, "Go", mnuGoItem,
          {"Back", "Forward", "Stop", "Refresh", "Back a Directory", "Send Page to Browser Tab"});
  addMenu(mnuView, "View", mnuViewItem, {"Browser", "Source Code", "Images", "Website"});
  addMenu(mnuTools, "Tools", mnuToolsItem,
          {"Add program to IE Tools Menu", "Remove Program from IE Tools Menu"});
  addMenu(mnuHelp, "Help", mnuHelpItem, {"View Help"});
  addMenu(mnuAbout, "About", mnuAboutItem, {"About this software"});
  // Save Images sits above Exit; the items keep their indexes.
  menus_[0].reorder_child(mnuFileItem[2], 1);
  sourceTool.AddSaveItem(menus_[0], 2);
}

void Form1::ConnectEvents() {
  cmbBack.signal_clicked().connect(sigc::mem_fun(*this, &Form1::cmbBack_Click));
  cmdForward.signal_clicked().connect(sigc::mem_fun(*this, &Form1::cmdForward_Click));
  cmdStop.signal_clicked().connect(sigc::mem_fun(*this, &Form1::cmdStop_Click));
  cmdRefresh.signal_clicked().connect([this] { cmdRefresh_Click(0); });
  cmdBackDir.signal_clicked().connect(sigc::mem_fun(*this, &Form1::cmdBackDir_Click));
  Command1.signal_clicked().connect(sigc::mem_fun(*this, &Form1::Command1_Click));
  cmdWebsite.signal_clicked().connect(sigc::mem_fun(*this, &Form1::cmdWebsite_Click));
  cmdGo.signal_clicked().connect(sigc::mem_fun(*this, &Form1::cmdGo_Click));
  txtUrl.signal_activate().connect([this] { txtUrl_KeyPress(kEnterKey); });
  TabStrip1.signal_switch_page().connect(
      [this](Gtk::Widget*, guint page) { ShowActiveTab(static_cast<int>(page)); });

  const auto connectItems = [](auto& items, auto handler) {
    for (std::size_t i = 0; i < items.size(); ++i) {
      items[i].signal_activate().connect([handler, i] { handler(static_cast<int>(i)); });
    }
  };
  connectItems(mnuFileItem, [this](int i) { mnuFileItem_Click(i); });
  connectItems(mnuGoItem, [this](int i) { mnuGoItem_Click(i); });
  connectItems(mnuViewItem, [this](int i) { mnuViewItem_Click(i); });
  connectItems(mnuToolsItem, [this](int i) { mnuToolsItem_Click(i); });
  connectItems(mnuHelpItem, [this](int i) { mnuHelpItem_Click(i); });
  connectItems(mnuAboutItem, [this](int i) { mnuAboutItem_Click(i); });

  for (int i = 0; i < 3; ++i) {
    BrowserControl& pane = wb(i);
    pane.StatusTextChange.connect([this, i](const std::string& t) { wb_StatusTextChange(i, t); });
    pane.ProgressChange.connect(
        [this, i](long progress, long max) { wb_ProgressChange(i, progress, max); });
    pane.DownloadComplete.connect(
        [this, i](const SharedSnapshot& page) { wb_DownloadComplete(i, page); });
    pane.TitleChange.connect([this, i](const std::string& t) { wb_TitleChange(i, t); });
    // Before the page's own handler: Ctrl and the wheel zoom instead of scrolling.
    pane.Widget().add_events(Gdk::SCROLL_MASK | Gdk::SMOOTH_SCROLL_MASK);
    pane.Widget().signal_scroll_event().connect(
        [this](GdkEventScroll* event) {
          return HandleZoomScroll(ScrollDeltaY(*event), event->state);
        },
        false);
    pane.FindResult.connect([this, &pane](unsigned matches) { findBar.ShowCount(pane, matches); });
  }
  findBar.signal_show().connect([this] { PlacePanes(); });
  findBar.signal_hide().connect([this] { PlacePanes(); });
  imagesTool_->toolbar.signal_show().connect([this] { PlacePanes(); });
  imagesTool_->toolbar.signal_hide().connect([this] { PlacePanes(); });
  latePictures_.CensusUpdated.connect([this] { imagesTool_->Update(census); });

  FollowResize(client_, [this] { Form_Resize(); });
  // After the focused widget: a web page gets each key first (WebKit hands back what the page
  // did not take), and the shortcuts act on the rest.
  signal_key_press_event().connect(
      [this](GdkEventKey* event) { return HandleShortcut(event->keyval, event->state); }, true);

  signal_delete_event().connect(sigc::mem_fun(*this, &Form1::on_delete));
}

// ---- Window events -------------------------------------------------------------------------

void Form1::Form_Load() {
  pb1.hide();
  cmdWebsite.set_label("Visit " + strWebsite);
  mnuViewItem[3].set_label(strWebsite);
  if (blnUseSkin) {
    // A label that cannot be copied stays as it is; the skin still applies.
    try {
      CopyLabelsToSkinLabels(*this, SkinLabel1, false);
    } catch (const std::exception& error) {
      std::fprintf(stderr, "velmora: %s\n", error.what());
    }
    seams_->SkinWindow(*this);
  }
  if (seams_->ShowHelpSetting() == "1") seams_->ShowHelp();
  // A work file that cannot be created is skipped; each analysis writes them again.
  workFiles_.CreateMissingWorkFiles();
  sb1.AddPanel();
  ShowActiveTab(0);
  if (firstAddress_.empty()) {
    wb(0).GoHome();
  } else {
    wb(0).Navigate(firstAddress_);
  }
}

void Form1::Form_Resize() {
  const Gtk::Allocation client = client_.get_allocation();
  const int width = client.get_width();
  const int height = client.get_height() + sb1.get_allocated_height();
  if (!NewSize(width, height)) return;
  // The layout works from the outer size; the frame, caption and menu bar it reserves are the
  // part of the window outside the client area and the status bar.
  ApplyLayout(ArrangeControls(Twips(width), Twips(height) + kFrameReserve));
}

void Form1::ApplyLayout(const MainWindowLayout& l) {
  const auto place = [this](Gtk::Widget& widget, const TwipRect& r) {
    client_.move(widget, Pixels(r.left), Pixels(r.top));
    widget.set_size_request(Pixels(r.width), Pixels(r.height));
  };
  place(TabStrip1, l.tabStrip);
  paneArea_ = l.pane;
  PlacePanes();
  while (sb1.PanelCount() < 2) sb1.AddPanel();
  sb1.SetPanelWidth(1, Pixels(l.panel1Width));
  sb1.SetPanelWidth(2, Pixels(l.panel2Width));
  sb1.move(pb1, sb1.PanelLeft(2) + Pixels(50), Pixels(l.progress.top));
  pb1.set_size_request(std::max(0, Pixels(l.progress.width)), Pixels(l.progress.height));
  place(txtUrl, l.address);
  place(cmdWebsite, l.website);
  place(cmdGo, l.go);
}

void Form1::PlacePanes() {
  if (!paneArea_) return;
  const int left = Pixels(paneArea_->left);
  int top = Pixels(paneArea_->top);
  const int width = Pixels(paneArea_->width);
  int height = Pixels(paneArea_->height);
  sourceTool.PlaceAbove(client_, left, top, width, height);
  if (findBar.get_visible()) {
    int minimum = 0;
    int natural = 0;
    findBar.get_preferred_height(minimum, natural);
    const int barHeight = std::min(natural, height);
    height -= barHeight;
    client_.move(findBar, left, top + height);
    findBar.set_size_request(width, barHeight);
  }
  imagesTool_->Place(client_, left, top, width, height);
  for (auto& pane : panes_) {
    client_.move(pane->Widget(), left, top);
    pane->Widget().set_size_request(width, height);
  }
}

void Form1::Form_Unload() {
  if (saveImages_) saveImages_->hide();
  seams_->UnloadHelp();
  seams_->UnloadSplash();
  StopAllPanes();
  hide();
  // The program ends now, or later with the website window while that one is open.
  seams_->MainWindowClosed();
}

bool Form1::on_delete(GdkEventAny*) {
  Form_Unload();
  return true;  // the window is hidden, not destroyed, while the program ends
}

// ---- Tabs ----------------------------------------------------------------------------------

void Form1::ShowActiveTab(int index) {
  if (index < 0 || index > 2) return;
  for (int i = 0; i < 3; ++i) wb(i).SetVisible(false);
  wb(index).SetVisible(true);
  sourceTool.set_visible(index == 1);
  imagesTool_->FollowTab(index);
  findBar.Follow(&wb(index));
}

void Form1::SelectTab(int index) {
  if (index < 0 || index > 2) return;
  TabStrip1.set_current_page(index);
  ShowActiveTab(index);
}

void Form1::TabStrip1_Click() {
  ShowActiveTab(TabStrip1.get_current_page());
}

int Form1::ActivePane() const {
  int active = -1;
  for (int i = 0; i < 3; ++i) {
    if (panes_[static_cast<std::size_t>(i)]->Visible()) active = i;
  }
  return active;
}

// ---- Commands ------------------------------------------------------------------------------

void Form1::StopAllPanes() {
  for (int i = 0; i < 3; ++i) wb(i).Stop();
}

void Form1::cmbBack_Click() {
  StopAllPanes();
  if (const int pane = ActivePane(); pane >= 0) wb(pane).GoBack();
}

void Form1::cmdForward_Click() {
  StopAllPanes();
  if (const int pane = ActivePane(); pane >= 0) wb(pane).GoForward();
}

void Form1::cmdStop_Click() {
  StopAllPanes();
}

void Form1::cmdRefresh_Click(int) {
  StopAllPanes();
  SelectTab(0);
  wb(0).Refresh();
  // The document still shown is analysed at once; the reload's completion analyses again.
  AnalyzePage(wb(0).Page());
}

void Form1::cmdGo_Click() {
  wb(0).Navigate(txtUrl.get_text());
}

void Form1::cmdBackDir_Click() {
  const std::string address = txtUrl.get_text();
  const std::string directory = UrlBaseDirectory(address);
  txtUrl.set_text(directory);
  // At a site's root the directory is the bare host ("host/"): the navigation keeps the scheme
  // the address came with, so an https site stays on https.
  const char* scheme = g_uri_peek_scheme(address.c_str());  // interned, in lower case
  if (scheme != nullptr && !HasScheme(directory)) {
    wb(0).Navigate(std::string(scheme) + "://" + directory);
  } else {
    cmdGo_Click();
  }
  SelectTab(0);
}

void Form1::Command1_Click() {
  StopAllPanes();
  const int pane = ActivePane();
  if (pane < 0) return;
  txtUrl.set_text(wb(pane).LocationURL());
  SelectTab(0);
  wb(0).Navigate(txtUrl.get_text());
}

void Form1::cmdWebsite_Click() {
  seams_->ShowWebsite();
}

void Form1::txtUrl_KeyPress(int keyAscii) {
  if (keyAscii == kEnterKey) cmdGo_Click();
}

// ---- Menus ---------------------------------------------------------------------------------

void Form1::mnuFileItem_Click(int index) {
  switch (index) {
    case 0:
      if (const auto file = fileDialog_->ShowOpen(*this)) wb(0).Navigate2(*file);
      break;
    case 1:
      Form_Unload();
      break;
    case 2:
      SaveImages();
      break;
    default:
      break;
  }
}

void Form1::SaveImages() {
  SaveImagesWindow::ShowIn(
      saveImages_,
      [this] {
        return SaveImagesWindow::Ask(
            *this, *fileDialog_, wb(0),
            GalleryImageUrls(lists.Links[kShownImagesPair], lists.frmList[kShownImagesPair],
                             census),
            downloadFolder_, [this](const std::string& text) { sb1.SetPanelText(1, text); });
      },
      [this](Gtk::Window& window) { Dress(window); });
}

void Form1::Dress(Gtk::Window& window) {
  window.set_transient_for(*this);
  if (blnUseSkin) seams_->SkinWindow(window);
}

void Form1::mnuGoItem_Click(int index) {
  // The items in the order of the row of buttons.
  const std::function<void()> commands[] = {
      [this] { cmbBack_Click(); },    [this] { cmdForward_Click(); },
      [this] { cmdStop_Click(); },    [this] { cmdRefresh_Click(0); },
      [this] { cmdBackDir_Click(); }, [this] { Command1_Click(); }};
  if (index >= 0 && index < static_cast<int>(std::size(commands))) commands[index]();
}

void Form1::mnuViewItem_Click(int index) {
  if (index >= 0 && index <= 2) {
    SelectTab(index);
  } else if (index >= 3) {
    cmdWebsite_Click();
  }
}

void Form1::mnuToolsItem_Click(int index) {
  if (index != 0 && index != 1) return;
  const bool done = index == 0 ? seams_->AddToIETools() : seams_->RemoveFromIETools();
  // The command just given is spent and the other one offered, whatever came of it.
  mnuToolsItem[0].set_sensitive(index == 1);
  mnuToolsItem[1].set_sensitive(index == 0);
  if (!done) {
    sb1.SetPanelText(1, index == 0 ? "Could not add " + strProductName + " to the Tools menu"
                                   : "Could not remove " + strProductName + " from the Tools menu");
  }
}

void Form1::mnuHelpItem_Click(int) {
  seams_->ShowHelp();
}

void Form1::mnuAboutItem_Click(int) {
  seams_->ShowAbout();
}

// ---- Pane events ---------------------------------------------------------------------------

void Form1::wb_StatusTextChange(int, const std::string& text) {
  sb1.SetPanelText(1, text);
}

void Form1::wb_ProgressChange(int index, long progress, long progressMax) {
  if (index != 0 || progressMax == 0) return;
  // A progress out of range shows as 0.01 of the maximum.
  const double value =
      (progress > progressMax || progress < 1) ? 0.01 : static_cast<double>(progress);
  pb1.set_fraction(std::clamp(value / static_cast<float>(progressMax), 0.0, 1.0));
}

void Form1::wb_DownloadComplete(int index, const SharedSnapshot& page) {
  if (index == 0) AnalyzePage(page);
}

void Form1::wb_TitleChange(int index, const std::string&) {
  if (index != 0) return;
  txtUrl.set_text(wb(0).LocationURL());
  set_title(strProductName + " by " + strCompanyName + " - " + wb(0).LocationName());
}

bool Form1::AnalyzePage(const SharedSnapshot& page) {
  AnalysisResult views = velmora::AnalyzePage(*page, workFiles_, lists);
  census = std::move(views.census);
  imagesTool_->ShowPage(census, page, wb(0).LocationName());
  latePictures_.PageAnalysed();
  sourceTool.PageAnalysed(page, lists, census, views.sourceView);
  wb(2).Navigate(views.gallery.string());
  return true;
}

// ---- Keyboard ------------------------------------------------------------------------------

void Form1::ZoomActivePane(int step) {
  if (BrowserControl* pane = ActivePaneControl())
    pane->SetZoomLevel(ZoomStep(pane->ZoomLevel(), step));
}

bool Form1::HandleZoomScroll(double deltaY, guint modifiers) {
  if ((modifiers & gtk_accelerator_get_default_mod_mask()) != GDK_CONTROL_MASK) return false;
  if (deltaY < 0) ZoomActivePane(1);
  if (deltaY > 0) ZoomActivePane(-1);
  return true;
}

bool Form1::HandleShortcut(guint keyval, guint modifiers) {
  const std::optional<Shortcut> shortcut = ShortcutFor(keyval, modifiers);
  if (!shortcut) return false;
  BrowserControl* pane = ActivePaneControl();
  switch (*shortcut) {
    case Shortcut::kAddressBox:
      txtUrl.grab_focus();
      txtUrl.select_region(0, -1);
      break;
    case Shortcut::kRefresh:
      cmdRefresh_Click(0);
      break;
    case Shortcut::kBack:
      cmbBack_Click();
      break;
    case Shortcut::kForward:
      cmdForward_Click();
      break;
    case Shortcut::kBackDirectory:
      cmdBackDir_Click();
      break;
    case Shortcut::kStop:
      cmdStop_Click();
      break;
    case Shortcut::kOpen:
      mnuFileItem_Click(0);
      break;
    case Shortcut::kFind:
      if (pane != nullptr) findBar.Open(*pane);
      break;
    case Shortcut::kFindNext:
    case Shortcut::kFindPrevious:
      if (pane != nullptr) findBar.FindAgain(*pane, *shortcut == Shortcut::kFindPrevious);
      break;
    case Shortcut::kSourceServed:
      sourceTool.ToggleServed();
      break;
    case Shortcut::kZoomIn:
    case Shortcut::kZoomOut:
    case Shortcut::kZoomReset:
      ZoomActivePane(*shortcut == Shortcut::kZoomIn ? 1 : *shortcut == Shortcut::kZoomOut ? -1 : 0);
      break;
    case Shortcut::kTab1:
    case Shortcut::kTab2:
    case Shortcut::kTab3:
      SelectTab(static_cast<int>(*shortcut) - static_cast<int>(Shortcut::kTab1));
      break;
  }
  return true;
}

}  // namespace velmora
