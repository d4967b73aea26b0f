#include "windows/frmWebsite.h"

#include <gtkmm/cssprovider.h>
#include <sigc++/adaptors/hide.h>

#include <algorithm>

#include "common/modIdentity.h"
#include "common/modOnTop.h"
#include "hosted/Twips.h"
#include "skin/modSkin.h"

namespace velmora {

namespace {

constexpr int kEnterKey = 13;
// The frame draws its caption in the top band of its area; its controls' design places count
// from the frame's outer edge.
constexpr float kFrameCaptionTwips = 195;

constexpr const char* kFrameCss =
    "frame.website-frame > label { font-family: Verdana, sans-serif; }";

constexpr ButtonDesign<frmWebsite> kButtons[] = {
    {&frmWebsite::Command3, "Go", "browse the entered url", "go-jump", 5460, 240, 795, 315},
    {&frmWebsite::Command4, "Back", "back", "go-previous", 540, 600, 1000, 435},
    {&frmWebsite::Command5, "Forward", "forward", "go-next", 1620, 600, 1000, 435},
    {&frmWebsite::Command6, "Stop", "stop", "process-stop", 2700, 600, 1000, 435},
    {&frmWebsite::Command7, "Refresh", "refresh", "view-refresh", 3780, 600, 1000, 435},
};

}  // namespace

frmWebsite::frmWebsite(std::unique_ptr<BrowserControl> browser, std::function<void()> closed)
    : StatusBar1(TwipsToPixels(*this, kWebsiteStatusBarHeight)),
      browser_(std::move(browser)),
      closed_(std::move(closed)) {
  set_position(Gtk::WIN_POS_CENTER);
  set_default_size(Pixels(kWidthTwips), Pixels(kHeightTwips + kWebsiteStatusBarHeight));

  auto css = Gtk::CssProvider::create();
  css->load_from_data(kFrameCss);
  frmBrowser.get_style_context()->add_provider(css, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  frmBrowser.get_style_context()->add_class("website-frame");
  frmBrowser.add(frameArea_);
  client_.put(frmBrowser, 0, 0);

  PlaceInFrame(Label5, 120, 300, 1215, 255);
  Label5.set_xalign(0);
  MakeCompactEntry(Text1);
  PlaceInFrame(Text1, kWebsiteTextLeft, kWebsiteTextTop, 4875, kWebsiteTextHeight);
  MakeButtons<frmWebsite>(*this, kButtons, [this](Gtk::Widget& button, const TwipRect& place) {
    PlaceInFrame(button, place.left, place.top, place.width, place.height);
  });
  PlaceInFrame(browser_->Widget(), kWebsiteBrowserLeft, kWebsiteBrowserTop, 6135, 5595);
  SkinLabel1.push_back(std::make_unique<SkinLabel>());
  SkinLabel1[0]->set_no_show_all(true);
  PlaceInFrame(*SkinLabel1[0], 120, 300, 1215, 255);

  StatusBar1.set_size_request(-1, Pixels(kWebsiteStatusBarHeight));
  vbox_.pack_start(client_, Gtk::PACK_EXPAND_WIDGET);
  vbox_.pack_end(StatusBar1, Gtk::PACK_SHRINK);
  add(vbox_);
  vbox_.show_all();

  Command3.signal_clicked().connect(sigc::mem_fun(*this, &frmWebsite::Command3_Click));
  Command4.signal_clicked().connect(sigc::mem_fun(*this, &frmWebsite::Command4_Click));
  Command5.signal_clicked().connect(sigc::mem_fun(*this, &frmWebsite::Command5_Click));
  Command6.signal_clicked().connect(sigc::mem_fun(*this, &frmWebsite::Command6_Click));
  Command7.signal_clicked().connect(sigc::mem_fun(*this, &frmWebsite::Command7_Click));
  Text1.signal_activate().connect([this] { Text1_KeyPress(kEnterKey); });
  browser_->StatusTextChange.connect(
      sigc::mem_fun(*this, &frmWebsite::WebBrowser1_StatusTextChange));
  browser_->DownloadComplete.connect(
      sigc::hide(sigc::mem_fun(*this, &frmWebsite::WebBrowser1_DownloadComplete)));
  FollowResize(client_, [this] { Form_Resize(); });
  signal_delete_event().connect(sigc::mem_fun(*this, &frmWebsite::on_delete));
}

void frmWebsite::PlaceInFrame(Gtk::Widget& widget, float left, float top, float width,
                              float height) {
  frameArea_.put(widget, Pixels(left), Pixels(std::max(0.0f, top - kFrameCaptionTwips)));
  widget.set_size_request(Pixels(width), Pixels(height));
}

// ---- Window events -------------------------------------------------------------------------

void frmWebsite::Form_Load() {
  LoadIdentity();
  StatusBar1.AddPanel();
  set_title(strWebsite);
  SetOnTop(*this, true);
  if (blnUseSkin) {
    CopyLabelsToSkinLabels(*this, SkinLabel1, true);
    SkinForm(*this);
  }
  WebBrowser1().Navigate(strWebsite);
  // The window opens maximised; restored, it has its design size.
  maximize();
  SetOnTop(*this, false);
}

void frmWebsite::Form_Resize() {
  const int width = client_.get_allocated_width();
  const int height = client_.get_allocated_height() + StatusBar1.get_allocated_height();
  if (!NewSize(width, height)) return;
  ApplyLayout(ArrangeWebsiteControls(Twips(width) + kWebsiteFrameReserveWidth,
                                     Twips(height) + kWebsiteFrameReserveHeight));
}

void frmWebsite::ApplyLayout(const WebsiteLayout& layout) {
  StatusBar1.SetPanelWidth(1, Pixels(layout.panel1Width));
  if (StatusBar1.PanelCount() >= 2) StatusBar1.SetPanelWidth(2, Pixels(layout.panel2Width));
  frmBrowser.set_size_request(Pixels(layout.frame.width), Pixels(layout.frame.height));
  Text1.set_size_request(Pixels(layout.text1.width), Pixels(layout.text1.height));
  frameArea_.move(Command3, Pixels(layout.command3.left),
                  Pixels(std::max(0.0f, layout.command3.top - kFrameCaptionTwips)));
  browser_->Widget().set_size_request(Pixels(layout.browser.width), Pixels(layout.browser.height));
}

void frmWebsite::Form_Unload() {
  hide();
  // The program ends here when the main window has already gone.
  if (closed_) closed_();
}

bool frmWebsite::on_delete(GdkEventAny*) {
  Form_Unload();
  return true;  // hidden here; the program unloads the window once it is hidden
}

// ---- Commands ------------------------------------------------------------------------------

void frmWebsite::Command3_Click() {
  WebBrowser1().Navigate(Text1.get_text());
}

void frmWebsite::Text1_KeyPress(int keyAscii) {
  if (keyAscii == kEnterKey) Command3_Click();
}

void frmWebsite::Command4_Click() {
  WebBrowser1().GoBack();
}

void frmWebsite::Command5_Click() {
  WebBrowser1().GoForward();
}

void frmWebsite::Command6_Click() {
  WebBrowser1().Stop();
}

void frmWebsite::Command7_Click() {
  WebBrowser1().Refresh();
}

// ---- Browser events ------------------------------------------------------------------------

void frmWebsite::WebBrowser1_StatusTextChange(const std::string& text) {
  StatusBar1.SetPanelText(1, text);
}

void frmWebsite::WebBrowser1_DownloadComplete() {
  Text1.set_text(WebBrowser1().LocationURL());
  set_title(WebBrowser1().LocationName());
}

}  // namespace velmora
