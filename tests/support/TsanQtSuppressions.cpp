// Linked into the Qt tests of a ThreadSanitizer build (see qp_qt_test).
//
// Qt itself is not built with ThreadSanitizer. QtTest's watchdog thread and the main
// thread meet in a QWaitCondition whose mutex is a futex inside libQt6Core, so the
// sanitizer sees the condition variable being woken and destroyed but not the lock that
// orders the two, and reports a race at the end of every test program. Only races with a
// QWaitCondition frame on a stack are left out; everything the project's own code does
// across threads is still checked (the port component hands calls to the user-interface
// thread through its own mutex and an eventfd, not through Qt).
extern "C" const char* __tsan_default_suppressions() {
    return "race:QWaitCondition\n";
}
