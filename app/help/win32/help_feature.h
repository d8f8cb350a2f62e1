// The Help menu: the tip of the day, About, and the maker's pages in the browser.
#pragma once

#include "feature_handler.h"
#include "language.h"
#include "message_table.h"
#include "services.h"

#include <functional>
#include <memory>

namespace kh {

class TfrmTip;

class HelpFeature : public FeatureHandler {
  public:
    // `showAtStartup`: the Tip setting, which the tip window's check box edits; `quiet`:
    // while it says so (a browser request is being served), no tip is shown.
    HelpFeature(QLanguage& language, bool& showAtStartup, Shell& shell, Prompts& prompts,
                const MessageTable& messages, std::function<bool()> quiet);
    ~HelpFeature() override;
    void run(CommandId action) override;
    void createWindows() override;

    // The tip window at a tip; created on first use. False when it cannot be shown now.
    virtual bool showTip(int index);
    // The tip window, made on first use.
    TfrmTip& tipWindow();

  private:
    QLanguage& language_;
    bool& showAtStartup_;
    // Opens one of the maker's pages; says so when no browser could be started.
    void openPage(const char* address);

    Shell& shell_;
    Prompts& prompts_;
    const MessageTable& messages_;
    std::function<bool()> quiet_;
    std::unique_ptr<TfrmTip> tip_;
};

} // namespace kh
