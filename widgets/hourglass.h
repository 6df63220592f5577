#pragma once

namespace tavrel {

// The wait pointer for as long as the guard lives: every way out of a scope,
// failures included, returns the pointer to what it was.
//
// The window does its work on the one thread that also takes the user's
// input, so a click or key given while the hourglass is up waits in the queue
// and would act afterwards on whatever the window shows by then (the file a
// conversion has just selected, say). Such presses (of buttons, keys and the
// wheel) are dropped when their turn comes, told by their time stamps; input
// given before the hourglass went up keeps its turn, and releases always pass,
// so that a press given before stays matched. The guard itself delivers
// nothing: the handlers of a chain run to their end one after the other.
class Hourglass {
  public:
    Hourglass();
    ~Hourglass();
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

    // For as long as a box asks the user something while the hourglass is
    // up: what was given until the box showed is dropped, and the box takes
    // the answers given to it.
    class Asking {
      public:
        Asking();
        ~Asking();
        Asking(const Asking&) = delete;
        Asking& operator=(const Asking&) = delete;
    };
};

}  // namespace tavrel
