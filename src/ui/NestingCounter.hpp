#pragma once
// A nesting depth for "hold" and "release" pairs (holding the drawing of the main window, holding the
// rebuilding of display columns): commands that call each other hold only once, and a release without a
// hold does nothing.

namespace velmar::ui {

class NestingCounter {
  public:
    enum class Release {
        Ignored,   // nothing was held
        Inner,     // still held by an outer caller
        Outermost  // the last hold went
    };

    // True for the outermost hold (the caller freezes what it holds).
    bool Hold() noexcept { return depth_++ == 0; }

    Release Unhold() noexcept {
        if (depth_ == 0) {
            return Release::Ignored;
        }
        --depth_;
        return depth_ == 0 ? Release::Outermost : Release::Inner;
    }

    int Depth() const noexcept { return depth_; }
    bool Held() const noexcept { return depth_ > 0; }

  private:
    int depth_ = 0;
};

}  // namespace velmar::ui
