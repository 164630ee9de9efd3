#include <QApplication>
#include <QWidget>

#include "gbk.hpp"
#include "question_bank.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  kv::LoadQuestionBank();
  QWidget window;
  window.setWindowTitle(kv::ui::FromGbk("KelvaroOstrin答题器"));
  window.setFixedSize(504, 285);
  window.show();
  const int rc = app.exec();
  kv::ReleaseQuestionBank();
  return rc;
}
