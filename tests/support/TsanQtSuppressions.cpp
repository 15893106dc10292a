// Linked into the Qt tests of a ThreadSanitizer build (see qp_qt_test).
//
// Qt itself is not built with ThreadSanitizer. QtTest's watchdog thread and the main
// thread meet in a QWaitCondition whose mutex is a futex inside libQt6Core, so the
// sanitizer sees the condition variable being waited on, woken and destroyed, and the
// watchdog's memory being freed, but not the lock that orders all this, and reports a
// race at the end of every test program. Left out are only races with a QWaitCondition
// frame on a stack and what the interceptors see when QtTest's own library calls them;
// everything the project's code does across threads is still checked (the port
// component hands calls to the user-interface thread through its own mutex and an
// eventfd, not through Qt).
extern "C" const char* __tsan_default_suppressions() {
    return "race:QWaitCondition\n"
           "called_from_lib:libQt6Test.so\n";
}
