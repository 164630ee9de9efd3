#include "calculator_window.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPointer>

#include <memory>

#include "calculator.hpp"
#include "calculator_form.hpp"
#include "exit_cleanup.hpp"
#include "gbk.hpp"
#include "window_table.hpp"

namespace kv {

namespace {

bool IsLevelCharacter(QChar c) { return (c >= u'0' && c <= u'9') || c == u'-'; }

// The key filter of a level box sees typed keys only; text that an input
// method commits arrives as one event and is filtered here the same way,
// character by character: digits and "-" pass, everything else is dropped.
class CommitFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::InputMethod) return QObject::eventFilter(watched, event);
    auto* im = static_cast<QInputMethodEvent*>(event);
    const QString commit = im->commitString();
    QString kept;
    for (QChar c : commit)
      if (IsLevelCharacter(c)) kept.append(c);
    if (kept.size() == commit.size()) return QObject::eventFilter(watched, event);
    QInputMethodEvent filtered(im->preeditString(), im->attributes());
    filtered.setCommitString(kept, im->replacementStart(), im->replacementLength());
    QCoreApplication::sendEvent(watched, &filtered);
    return true;
  }
};

// The box's text as GBK. Characters that GBK lacks (only pasted text can hold
// them) read as "?", which no number rule takes for a digit or a space.
Text BoxText(const QLineEdit* box) {
  const QString text = box->text();
  if (auto gbk = ui::ToGbk(text)) return *gbk;
  Text out;
  for (const char32_t cp : text.toUcs4()) {
    const auto gbk = ui::ToGbk(QString::fromUcs4(&cp, 1));
    out += gbk ? *gbk : Text("?");
  }
  return out;
}

void Show(QLineEdit* box, const Text& text) { box->setText(ui::FromGbk(text)); }

struct Controls {
  QLineEdit* levelCurrent;
  QLineEdit* levelTarget;
  QLineEdit* levelResult;
  QCheckBox* levelTimes15;
  QLineEdit* skillCurrent;
  QLineEdit* skillTarget;
  QLineEdit* skillResult;
  QCheckBox* skillTimes15;
  QComboBox* skillCount;
  QLineEdit* cultivationCurrent;
  QLineEdit* cultivationTarget;
  QLineEdit* technique;
  QLineEdit* others[6];  // in the order they are written
  QLineEdit* total;
  QLineEdit* questLevel;
  QLineEdit* goldCap;

  bool Complete() const {
    for (QLineEdit* b : others)
      if (b == nullptr) return false;
    return levelCurrent && levelTarget && levelResult && levelTimes15 && skillCurrent && skillTarget &&
           skillResult && skillTimes15 && skillCount && cultivationCurrent && cultivationTarget && technique &&
           total && questLevel && goldCap;
  }
};

Controls FindControls(QWidget* w) {
  using namespace ui;
  return {
      .levelCurrent = FindEditBox(w, "编辑框1"),
      .levelTarget = FindEditBox(w, "编辑框2"),
      .levelResult = FindEditBox(w, "编辑框3"),
      .levelTimes15 = FindCheckBox(w, "选择框1"),
      .skillCurrent = FindEditBox(w, "编辑框6"),
      .skillTarget = FindEditBox(w, "编辑框5"),
      .skillResult = FindEditBox(w, "编辑框4"),
      .skillTimes15 = FindCheckBox(w, "选择框2"),
      .skillCount = FindDropDown(w, "组合框2"),
      .cultivationCurrent = FindEditBox(w, "编辑框8"),
      .cultivationTarget = FindEditBox(w, "编辑框7"),
      .technique = FindEditBox(w, "编辑框9"),
      .others = {FindEditBox(w, "编辑框10"), FindEditBox(w, "编辑框11"), FindEditBox(w, "编辑框12"),
                 FindEditBox(w, "编辑框14"), FindEditBox(w, "编辑框15"), FindEditBox(w, "编辑框16")},
      .total = FindEditBox(w, "编辑框13"),
      .questLevel = FindEditBox(w, "编辑框18"),
      .goldCap = FindEditBox(w, "编辑框19"),
  };
}

void ConnectHandlers(QDialog* dialog, const Controls& c) {
  auto level = [c] {
    Show(c.levelResult, RecalcLevelGroup(BoxText(c.levelCurrent), BoxText(c.levelTarget), c.levelTimes15->isChecked()));
  };
  auto skill = [c] {
    const auto count = ui::ToGbk(c.skillCount->currentText()).value_or(Text());
    Show(c.skillResult, RecalcSkillGroup(BoxText(c.skillCurrent), BoxText(c.skillTarget), c.skillTimes15->isChecked(), count));
  };
  auto cultivation = [c] {
    const CultivationResult r = RecalcCultivationGroup(BoxText(c.cultivationCurrent), BoxText(c.cultivationTarget));
    Show(c.technique, r.technique);
    for (QLineEdit* box : c.others) Show(box, r.other);
    Show(c.total, r.total);
  };
  auto goldCap = [c] { Show(c.goldCap, LookupGoldCap(BoxText(c.questLevel))); };

  // textChanged comes once for every change of the text, typed, pasted or set.
  QObject::connect(c.levelCurrent, &QLineEdit::textChanged, dialog, level);
  QObject::connect(c.levelTarget, &QLineEdit::textChanged, dialog, level);
  QObject::connect(c.levelTimes15, &QCheckBox::clicked, dialog, level);  // after the box has toggled
  QObject::connect(c.skillCurrent, &QLineEdit::textChanged, dialog, skill);
  QObject::connect(c.skillTarget, &QLineEdit::textChanged, dialog, skill);
  QObject::connect(c.skillTimes15, &QCheckBox::clicked, dialog, skill);
  QObject::connect(c.skillCount, &QComboBox::currentIndexChanged, dialog, skill);
  QObject::connect(c.cultivationCurrent, &QLineEdit::textChanged, dialog, cultivation);
  QObject::connect(c.cultivationTarget, &QLineEdit::textChanged, dialog, cultivation);
  QObject::connect(c.questLevel, &QLineEdit::textChanged, dialog, goldCap);

  for (QLineEdit* box : {c.levelCurrent, c.levelTarget, c.skillCurrent, c.skillTarget, c.cultivationCurrent,
                         c.cultivationTarget, c.questLevel})
    box->installEventFilter(new CommitFilter(box));
}

QPointer<QDialog> openWindow;

}  // namespace

QDialog* CreateCalculatorWindow(QWidget* mainWindow) {
  auto dialog = std::make_unique<QDialog>(mainWindow);
  const ui::WindowDef& form = ui::CalculatorForm();
  if (!ui::BuildWindow(form, dialog.get())) return nullptr;
  const Controls controls = FindControls(dialog.get());
  if (!controls.Complete()) return nullptr;
  ui::CentreOnScreen(dialog.get(), form);
  // The window's created event: fresh tables, no calculation. The tables live
  // on after the window; the exit clean-up releases them.
  LoadCalculatorTables();
  static const bool releaseAtExit = [] {
    RegisterExitCleanup(ReleaseCalculatorTables);
    return true;
  }();
  (void)releaseAtExit;
  ConnectHandlers(dialog.get(), controls);
  return dialog.release();
}

void OpenCalculatorWindow(QWidget* mainWindow) {
  if (openWindow) {
    openWindow->raise();
    openWindow->activateWindow();
    return;
  }
  std::unique_ptr<QDialog> dialog(CreateCalculatorWindow(mainWindow));
  if (!dialog) return;
  openWindow = dialog.get();
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->exec();
}

}  // namespace kv
