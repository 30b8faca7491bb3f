// Reading the keys that stop `korvanthe-xm play` without waiting for Enter.
#pragma once

#include <memory>

namespace korvanthe {

// While it lives, the terminal hands keys over one by one and unechoed; the
// terminal's own settings come back when it goes.
class QuitKeys {
  public:
    QuitKeys();
    ~QuitKeys();
    QuitKeys(const QuitKeys&) = delete;
    QuitKeys& operator=(const QuitKeys&) = delete;

    // True when q or a lone Escape (not the start of an arrow key's
    // sequence) has been typed since the last call. Never waits.
    bool quitKeyTyped();

  private:
    struct Terminal;
    std::unique_ptr<Terminal> terminal_;
};

} // namespace korvanthe
