#include "help_feature.h"

#include "text_format.h"
#include "tfrm_tip.h"
#include "version.h"

namespace kh {
namespace {

// The maker's pages that the Help menu opens in the browser.
constexpr char kProductPage[] = "https://keyhaven.example.org/download";
constexpr char kFaqPage[] = "https://keyhaven.example.org/faq";

} // namespace

HelpFeature::HelpFeature(QLanguage& language, bool& showAtStartup, Shell& shell, Prompts& prompts,
                         const MessageTable& messages, std::function<bool()> quiet)
    : language_(language), showAtStartup_(showAtStartup), shell_(shell), prompts_(prompts),
      messages_(messages), quiet_(std::move(quiet)) {}

void HelpFeature::openPage(const char* address) {
    if (!shell_.open(address, "", ShowMode::Maximized))
        prompts_.warning(messages_.text(Msg::warning),
                         formatText(messages_.text(Msg::browserfailed), {address}));
}

HelpFeature::~HelpFeature() = default;

void HelpFeature::createWindows() {
    tipWindow();
}

TfrmTip& HelpFeature::tipWindow() {
    if (!tip_) {
        tip_ = std::make_unique<TfrmTip>(language_, showAtStartup_,
                                         [this] { return quiet_ && quiet_(); });
        tip_->create();
    }
    return *tip_;
}

bool HelpFeature::showTip(int index) {
    return tipWindow().showTip(index);
}

void HelpFeature::run(CommandId action) {
    switch (action) {
    case CommandId::CheckNewVersion:
        openPage(kProductPage);
        break;
    case CommandId::VisitOnlineFaq:
        openPage(kFaqPage);
        break;
    case CommandId::TipOfTheDay:
        showTip(1);
        break;
    case CommandId::AboutKeyhaven:
        tipWindow().showAbout(formatText(messages_.text(Msg::aboutversion),
                                         {messages_.text(Msg::apptitle), KH_VERSION_TEXT,
                                          KH_BUILD_DATE}));
        break;
    default:
        break;
    }
}

} // namespace kh
