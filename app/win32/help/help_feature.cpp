#include "help_feature.h"

namespace kh {
namespace {

// The maker's pages that the Help menu opens in the browser.
constexpr char kProductPage[] = "https://keyhaven.example.org/download";
constexpr char kFaqPage[] = "https://keyhaven.example.org/faq";

} // namespace

void HelpFeature::run(CommandId action) {
    switch (action) {
    case CommandId::CheckNewVersion:
        context_.shell.open(kProductPage, "", ShowMode::Maximized);
        break;
    case CommandId::VisitOnlineFaq:
        context_.shell.open(kFaqPage, "", ShowMode::Maximized);
        break;
    case CommandId::TipOfTheDay:
        if (context_.services.showTip) context_.services.showTip(1);
        break;
    case CommandId::AboutKeyhaven:
        if (context_.services.showTip) context_.services.showTip(0);
        break;
    default:
        break;
    }
}

} // namespace kh
