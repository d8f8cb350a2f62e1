// The tips of the tip window: nineteen slots looked up in the language in force under
// "Tip0" to "Tip18", English defaults for the first nine, empty slots left out; and which
// tip is shown as the user moves through them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kh {

class QLanguage;

inline constexpr int kTipSlotCount = 19;

// The maker's home page, shown and opened by the tip window's link line.
inline constexpr char kHomePage[] = "https://keyhaven.example.org";

// The compiled-in text of a slot ("\n" as line break); empty for slots 9 to 18.
std::string_view defaultTipText(int slot);

class TipList {
  public:
    TipList() = default;
    explicit TipList(std::vector<std::string> tips) : tips_(std::move(tips)) {}
    // Each slot in order: the language's text for its key if there is one, else the default.
    static TipList fromLanguage(const QLanguage& language);

    int count() const { return static_cast<int>(tips_.size()); }
    const std::vector<std::string>& tips() const { return tips_; }
    // -1 before the first tip is shown.
    int current() const { return current_; }
    // The current tip's text; empty before the first one.
    const std::string& currentText() const;

    // Jumps to a tip: an index outside the list is taken modulo the count, counting from
    // the end when negative. False (and nothing changes) when there are no tips.
    bool select(int index);
    // Previous (-1) and Next (+1): stepping off one end lands on the other.
    void step(int delta);
    void clear();

  private:
    std::vector<std::string> tips_;
    int current_ = -1;
};

} // namespace kh
