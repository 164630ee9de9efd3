// One keystroke in the keyword box: from the key event to the result list's
// model holding every row for "？" on a bank of the shipped shape, and the same
// with the list repainted. Runs on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <cstdlib>

#include "bank_shape.hpp"
#include "lookup.hpp"
#include "main_form.hpp"
#include "main_window.hpp"
#include "qt/gbk.hpp"
#include "qt/qt_window.hpp"
#include "qt/report_list.hpp"
#include "qt/result_list_model.hpp"
#include "question_bank.hpp"

namespace {

struct Setup {
  Setup() {
    kv::QuestionBank = kv::bench::MakeBankShape(1);
    std::vector<kv::LookupRow> rows;
    kv::RunLookup(kv::QuestionBank, "？", rows);
    expectedRows = rows.size();
    main->window().Show();
    (void)QTest::qWaitForWindowExposed(kv::ui::qt::TopLevel(main->window()));
  }
  std::unique_ptr<kv::MainWindow> main = kv::MainWindow::Create();
  std::size_t expectedRows = 0;
};

// Made on first use and destroyed by main while the application still exists.
std::unique_ptr<Setup> shared;

Setup& Shared() {
  if (!shared) shared = std::make_unique<Setup>();
  return *shared;
}

void Keystroke(benchmark::State& state, bool paint) {
  Setup& s = Shared();
  namespace qt = kv::ui::qt;
  using kv::ui::MainForm;
  QLineEdit* box = qt::Widget(s.main->window(), MainForm::keywordBox);
  kv::ui::ResultListModel* model = qt::Model(s.main->window(), MainForm::resultList);
  const QString mark = kv::ui::FromGbk("？");
  for (auto _ : state) {
    state.PauseTiming();
    box->setText(QString());
    QApplication::processEvents();
    state.ResumeTiming();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, mark);
    QApplication::sendEvent(box, &press);
    if (paint) qt::Widget(s.main->window(), MainForm::resultList)->viewport()->repaint();
  }
  if (static_cast<std::size_t>(model->rowCount()) != s.expectedRows || s.expectedRows == 0) {
    state.SkipWithError("the list does not hold every row for the keyword");
  }
  state.counters["rows"] = static_cast<double>(model->rowCount());
}

void BM_KeystrokeToModel(benchmark::State& state) { Keystroke(state, false); }
void BM_KeystrokeToPaintedList(benchmark::State& state) { Keystroke(state, true); }

BENCHMARK(BM_KeystrokeToModel)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_KeystrokeToPaintedList)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  shared.reset();  // its window goes before the application does
  return 0;
}
