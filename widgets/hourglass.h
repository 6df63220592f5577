#pragma once

namespace tavrel {

// The wait pointer for as long as the guard lives: every way out of a scope,
// failures included, returns the pointer to what it was.
//
// The window does its work on the one thread that also takes the user's
// input, so a click or key given while the hourglass is up waits in the queue
// and would act afterwards on whatever the window shows by then (the file a
// conversion has just selected, say). When the outermost guard ends, such
// presses (of buttons, keys and the wheel) are dropped instead; releases still
// go through, so a press given before stays matched. A box that asks the user
// something meanwhile drops them before it shows, then takes its answers as
// usual.
class Hourglass {
  public:
    Hourglass();
    ~Hourglass();

    // While a guard lives: drops the presses queued so far.
    static void DropQueuedInput();
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
};

}  // namespace tavrel
