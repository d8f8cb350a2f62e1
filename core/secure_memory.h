// Wiping of secrets: a wipe the optimiser cannot drop, fixed-size wiped buffers and a
// string type whose every buffer (heap or inline) is zeroed before it is released.
#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kh {

// Overwrites n bytes with zeros; the compiler must assume the zeros are observed.
void secureWipe(void* p, std::size_t n) noexcept;

// Wipes a plain string's whole buffer (also what lies past its end, which an earlier,
// longer text or a move may have left there) and empties it.
inline void wipeString(std::string& text) noexcept {
    text.resize(text.capacity()); // within capacity: never reallocates
    secureWipe(text.data(), text.size());
    text.clear();
}

template <class T> struct WipingAllocator {
    using value_type = T;
    WipingAllocator() noexcept = default;
    template <class U> WipingAllocator(const WipingAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return std::allocator<T>{}.allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept {
        secureWipe(p, n * sizeof(T));
        std::allocator<T>{}.deallocate(p, n);
    }
    template <class U> bool operator==(const WipingAllocator<U>&) const noexcept { return true; }
};

// A fixed-size byte buffer for keys and records; zeroed when it goes out of scope.
template <std::size_t N> class WipedBytes {
  public:
    WipedBytes() noexcept { bytes_.fill(0); }
    WipedBytes(const WipedBytes& other) noexcept = default;
    WipedBytes& operator=(const WipedBytes& other) noexcept = default;
    ~WipedBytes() { secureWipe(bytes_.data(), N); }

    std::uint8_t* data() noexcept { return bytes_.data(); }
    const std::uint8_t* data() const noexcept { return bytes_.data(); }
    static constexpr std::size_t size() noexcept { return N; }
    std::uint8_t& operator[](std::size_t i) noexcept { return bytes_[i]; }
    const std::uint8_t& operator[](std::size_t i) const noexcept { return bytes_[i]; }
    void clear() noexcept { secureWipe(bytes_.data(), N); }

  private:
    std::array<std::uint8_t, N> bytes_;
};

// A text that holds a secret. Short texts live inside the object (small-string buffer),
// which no allocator sees, so the destructor and moves wipe that storage as well.
class SecretString {
  public:
    using Storage = std::basic_string<char, std::char_traits<char>, WipingAllocator<char>>;

    SecretString() = default;
    SecretString(std::string_view text) : s_(text.data(), text.size()) {}
    SecretString(const char* text) : SecretString(std::string_view(text)) {}
    SecretString(const SecretString&) = default;
    SecretString(SecretString&& other) noexcept : s_(std::move(other.s_)) { other.wipe(); }
    SecretString& operator=(const SecretString& other) {
        if (this != &other) assign(other.view());
        return *this;
    }
    SecretString& operator=(SecretString&& other) noexcept {
        if (this != &other) {
            wipe();
            s_ = std::move(other.s_);
            other.wipe();
        }
        return *this;
    }
    SecretString& operator=(std::string_view text) {
        assign(text);
        return *this;
    }
    SecretString& operator=(const char* text) {
        assign(text);
        return *this;
    }
    SecretString& operator=(const std::string& text) {
        assign(text);
        return *this;
    }
    ~SecretString() { wipe(); }

    void assign(std::string_view text) {
        wipe();
        s_.assign(text.data(), text.size());
    }
    void wipe() noexcept {
        secureWipe(s_.data(), s_.capacity());
        s_.clear();
    }

    std::string_view view() const noexcept { return {s_.data(), s_.size()}; }
    const char* c_str() const noexcept { return s_.c_str(); }
    const char* data() const noexcept { return s_.data(); }
    std::size_t size() const noexcept { return s_.size(); }
    bool empty() const noexcept { return s_.empty(); }
    void push_back(char c) { s_.push_back(c); }
    // Appending may move the text to a larger buffer; the old one is wiped on release.
    SecretString& append(std::string_view text) {
        s_.append(text.data(), text.size());
        return *this;
    }
    void resize(std::size_t n) { s_.resize(n); }
    char& operator[](std::size_t i) { return s_[i]; }

    friend bool operator==(const SecretString& a, const SecretString& b) noexcept {
        return a.view() == b.view();
    }
    friend bool operator==(const SecretString& a, std::string_view b) noexcept {
        return a.view() == b;
    }
    friend bool operator==(const SecretString& a, const char* b) noexcept {
        return a.view() == std::string_view(b);
    }

  private:
    Storage s_;
};

} // namespace kh

namespace kh {

// A heap byte buffer of fixed size for bulk plaintext; zeroed before it is released.
class WipedBuffer {
  public:
    explicit WipedBuffer(std::size_t size) : bytes_(new std::uint8_t[size]()), size_(size) {}
    WipedBuffer(const WipedBuffer&) = delete;
    WipedBuffer& operator=(const WipedBuffer&) = delete;
    ~WipedBuffer() { secureWipe(bytes_.get(), size_); }

    std::uint8_t* data() noexcept { return bytes_.get(); }
    std::size_t size() const noexcept { return size_; }

  private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_;
};

} // namespace kh
