#pragma once

// The busy cursor over every window of the program for as long as the object lives, for work
// that keeps the window's thread from handling input. Nested objects keep it until the
// outermost one ends.
class CWaitCursor {
  public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

  private:
    bool m_shown;
};
