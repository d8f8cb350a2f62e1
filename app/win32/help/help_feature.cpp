#include "help_feature.h"

#include "tfrm_tip.h"

namespace kh {
namespace {

// The maker's pages that the Help menu opens in the browser.
constexpr char kProductPage[] = "https://keyhaven.example.org/download";
constexpr char kFaqPage[] = "https://keyhaven.example.org/faq";

} // namespace

HelpFeature::HelpFeature(AppContext& context) : context_(context) {
    context_.services.showTip = [this](int index) { return showTip(index); };
}

HelpFeature::~HelpFeature() {
    context_.services.showTip = nullptr;
}

void HelpFeature::createWindows() {
    tipWindow();
}

TfrmTip& HelpFeature::tipWindow() {
    if (!tip_) {
        tip_ = std::make_unique<TfrmTip>(context_.language, context_.settings.tip, [this] {
            return context_.services.servingBrowserRequest &&
                   context_.services.servingBrowserRequest();
        });
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
        context_.shell.open(kProductPage, "", ShowMode::Maximized);
        break;
    case CommandId::VisitOnlineFaq:
        context_.shell.open(kFaqPage, "", ShowMode::Maximized);
        break;
    case CommandId::TipOfTheDay:
        showTip(1);
        break;
    case CommandId::AboutKeyhaven:
        showTip(0);
        break;
    default:
        break;
    }
}

} // namespace kh
