#include "app/settings/QtMainThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <thread>

TEST(QtMainThread, WorkersWaitForTheEventLoopToRunTheirCalls) {
    int argc = 1;
    char name[] = "qt_mainthread_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    auto main = std::make_unique<TQtMainThread>();
    SetMainThreadDispatcher(main.get());
    EXPECT_TRUE(main->IsMainThread());
    // On the user-interface thread itself a blocking queued invocation would never run (Qt refuses
    // it as a dead lock): the call must run at once, before any event loop turns.
    bool ranAtOnce = false;
    CallInMainThread([&] { ranAtOnce = QThread::currentThread() == app.thread(); });
    EXPECT_TRUE(ranAtOnce);

    std::atomic<int> onMain{0}, afterRun{0};
    bool notMainInWorker = true;
    std::thread worker([&] {
        notMainInWorker = !main->IsMainThread();
        for (int i = 0; i < 10; ++i) {
            bool ran = false;
            CallInMainThread([&] {
                ran = true;
                onMain += QThread::currentThread() == app.thread();
            });
            afterRun += ran;
        }
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    QTimer::singleShot(10000, &app, &QCoreApplication::quit); // a hang fails instead of blocking the suite
    app.exec();
    worker.join();
    EXPECT_TRUE(notMainInWorker);
    EXPECT_EQ(onMain, 10);
    EXPECT_EQ(afterRun, 10);

    main.reset();
    EXPECT_EQ(MainThreadDispatcher(), nullptr) << "the destroyed dispatcher uninstalled itself";
}
