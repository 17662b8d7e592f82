// Time per PostThisMessage, with its repaint, with 10 to 100,000 rows already on the board. Each
// post advances the bar five steps with a 1 ms pause each, so 5 ms is the floor; BM_BarTickOnly
// measures what those pauses really cost here, BM_BarTickShown the same with the bar on screen
// (as the board's is), and the difference is the board's own work.
#include "board/boardrows.h"
#include "board/messageboardform.h"
#include "widgets/tprprogressbar.h"

#include <QApplication>
#include <QThread>
#include <benchmark/benchmark.h>

namespace {

// Runs the layouts and repaints already asked for (a window's update request waits up to 5 ms).
void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(3);
    }
    QCoreApplication::processEvents();
}

void BM_BarTickOnly(benchmark::State& state)
{
    TtprProgressBar bar;
    bar.resize(547, 13);
    bar.setTickWidth(200);
    bar.setTickJump(1);
    bar.setTickCount(5);
    bar.setStyle(tprBouncer);
    for (auto _ : state)
        bar.Tick();
}
BENCHMARK(BM_BarTickOnly)->Unit(benchmark::kMicrosecond);

// The same ticks on a bar that is on screen, as the board's is during a recording: each step
// also paints the strip, which is part of every post's floor.
void BM_BarTickShown(benchmark::State& state)
{
    TtprProgressBar bar;
    bar.resize(547, 13);
    bar.setTickWidth(200);
    bar.setTickJump(1);
    bar.setTickCount(5);
    bar.setStyle(tprBouncer);
    bar.show();
    settle();
    for (auto _ : state) {
        bar.Tick();
        QCoreApplication::processEvents();
        QEvent update(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(&bar, &update);
    }
}
BENCHMARK(BM_BarTickShown)->Unit(benchmark::kMicrosecond);

// One post and the repaint it causes. The repaint would otherwise wait for the window's next
// update request (up to 5 ms later, inside the next post): it is delivered here, so each post
// pays for its own.
[[gnu::noinline]] void postAndPaint(TMessageBoardForm& board, const QString& value)
{
    board.PostThisMessage(QStringLiteral("عنوان"), value);
    QCoreApplication::processEvents();
    QEvent update(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(&board, &update);
}

void BM_Post(benchmark::State& state)
{
    const int rows = int(state.range(0));
    TMessageBoardForm board(nullptr);
    board.StartRecording(true, QStringLiteral("گزارش"));
    QList<rimo::board::Row> fill;
    for (int i = 0; i < rows; ++i)
        fill.append({QStringLiteral("سطر %1").arg(i), QStringLiteral("value of row %1").arg(i)});
    board.rowModel().append(fill);
    settle();

    const QString value = QStringLiteral("مقدار يك سطر گزارش با متن فارسي and some English");
    for (auto _ : state) {
        postAndPaint(board, value);
        state.PauseTiming();
        // Back to the measured size, so every post meets the same number of rows.
        board.rowModel().removeRows(rows, board.rowModel().rowCount() - rows);
        // The removal's own layout and repaint belong to the set-up, not to the next post.
        settle();
        state.ResumeTiming();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_Post)->Arg(10)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
