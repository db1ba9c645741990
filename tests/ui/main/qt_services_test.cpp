#include "ui/main/qt_services.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

#include "tests/ui/widget_harness.h"

using namespace tandex::ui;
namespace config = tandex::config;

namespace {

using QtServicesTest = tandex::testing::WidgetTest;

// Runs `answer` on the message box as soon as it is shown.
void AnswerNextBox(std::function<void(QMessageBox*)> answer) {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            answer(box);
        }
    });
    timer->start(1);
}

TEST_F(QtServicesTest, MessageBoxShowsCaptionTextAndButtonsAndReturnsTheAnswer) {
    QtMessageSink sink;
    QString seen;
    AnswerNextBox([&](QMessageBox* box) {
        seen = box->windowTitle() + "|" + box->text();
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()),
                  box->button(QMessageBox::No));
        EXPECT_EQ(box->buttons().size(), 3);
        box->button(QMessageBox::Yes)->click();
    });
    const int answer =
        sink.showMessage({"Tandex", "Save changes?", config::MsgKind::Question,
                          config::mbYes | config::mbNo | config::mbCancel, config::mrNo});
    EXPECT_EQ(seen, "Tandex|Save changes?");
    EXPECT_EQ(answer, config::mrYes);
}

TEST_F(QtServicesTest, CarriageReturnsBreakTheBoxsLines) {
    QtMessageSink sink;
    QString seen;
    AnswerNextBox([&](QMessageBox* box) {
        seen = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    sink.showMessage({"Tandex", "one\rtwo\r\rthree\r\nfour", config::MsgKind::Warning, config::mbOK, config::mrOk});
    EXPECT_EQ(seen, "one\ntwo\n\nthree\nfour");
}

TEST_F(QtServicesTest, EscapeAnswersCancel) {
    QtMessageSink sink;
    AnswerNextBox([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(sink.showMessage({"Tandex", "Retry?", config::MsgKind::Warning,
                                config::mbRetry | config::mbCancel, config::mrRetry}),
              config::mrCancel);
}

TEST_F(QtServicesTest, MessageFromWorkerThreadIsAnsweredOnTheWindowThread) {
    QtMessageSink sink;
    std::atomic<bool> onWindowThread{false};
    AnswerNextBox([&](QMessageBox* box) {
        onWindowThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        box->button(QMessageBox::Ok)->click();
    });
    std::atomic<int> answer{-1};
    std::thread worker([&] {
        answer = sink.showMessage(
            {"Tandex", "From a worker", config::MsgKind::Error, config::mbOK, config::mrNone});
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer != -1; }, 5000));
    worker.join();
    EXPECT_EQ(answer, config::mrOk);
    EXPECT_TRUE(onWindowThread);
}

TEST_F(QtServicesTest, EventPumpRunsPendingEvents) {
    QtEventPump pump;
    bool ran = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { ran = true; }, Qt::QueuedConnection);
    EXPECT_FALSE(ran);
    pump.processEvents();
    EXPECT_TRUE(ran);
}

}  // namespace

namespace {

TEST_F(QtServicesTest, BusyCursorShowsTheWaitCursorUntilReleased) {
    QtEventPump pump;
    config::setEventPump(&pump);
    {
        config::BusyCursor busy;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    config::setEventPump(nullptr);
}

}  // namespace
