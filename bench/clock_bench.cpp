// Painting the clock window's 223 x 221 clock (marks, three hands, cap) into
// its off-screen buffer and copying it out, as every repaint does.
#include <benchmark/benchmark.h>

#include "clock/tvclock.h"
#include "platform/headless/headless.h"

namespace {

struct ClockForm : TForm {
    ClockForm() : TForm(nullptr, "TClockForm") {
        clock.SetController(&controller);
        clock.SetBounds(0, 0, 223, 221);
        clock.HandOptions().SetHourHandWidth(6);
        clock.HandOptions().SetMinuteHandWidth(4);
        clock.HandOptions().SetSecondHandWidth(2);
    }
    ~ClockForm() override { DoDestroy(); }
    TTvController controller{this};
    TTvClock clock{this};
};

void paintLoop(benchmark::State& state, ClockForm& form) {
    TBitmap window;
    int second = 0;
    for (auto _ : state) {
        // A new second each time, as a running clock repaints.
        form.clock.ChangeTime(EncodeTime(10, 9, static_cast<Word>(second), 0));
        second = (second + 1) % 60;
        form.clock.PaintTo(window);
        benchmark::DoNotOptimize(window.Canvas().Pixel(111, 110));
    }
}

void BM_PaintClock223x221(benchmark::State& state) {
    TApplication app;
    ClockForm form;
    paintLoop(state, form);
}
BENCHMARK(BM_PaintClock223x221)->Unit(benchmark::kMicrosecond);

void BM_PaintClockOutlinedWithFace(benchmark::State& state) {
    TApplication app;
    ClockForm form;
    TBitmap face(64, 64);
    face.Canvas().Brush.Color = RGBToColor(250, 240, 200);
    face.Canvas().FillRect({0, 0, 64, 64});
    form.clock.SetClockFace(&face);
    form.clock.HandOptions().SetSolidHands(false);
    paintLoop(state, form);
}
BENCHMARK(BM_PaintClockOutlinedWithFace)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
