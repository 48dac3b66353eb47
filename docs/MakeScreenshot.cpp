// Writes the pictures the README shows: the main window in the middle of a
// measuring run, and the scale step with its dialog. It draws photographs of
// leaves beside a ruler, opens them in the real main window and measures them
// with mouse events on the overlay, as a user would; every dialog is answered
// by a script. Anything unexpected (a beep, a message) fails the run.
//   scaliper_screenshot OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QScrollArea>
#include <QTest>
#include <QTemporaryDir>
#include <QTextStream>
#include <QToolButton>
#include <cmath>
#include <deque>
#include <functional>

#include "app/Form1.h"
#include "definitions/DefinitionList.h"
#include "measuring/ConvDlg.h"
#include "measuring/Overlay.h"
#include "tests/support/FormDriver.h"

namespace {
QTextStream err(stderr);

[[noreturn]] void Fail(const QString &why) {
  err << "scaliper_screenshot: " << why << Qt::endl;
  std::exit(1);
}

// Answers the question that starts the run Yes, every modal dialog from a
// queue and the image chooser with the drawn pictures.
class TScriptPrompter : public Prompter {
public:
  QStringList Pictures;
  std::deque<std::function<int(QDialog &)>> Dialogs;

  void Beep() override { Fail(QStringLiteral("unexpected beep")); }
  void ShowMessage(const QString &text, const QString &) override { Fail(QStringLiteral("message: ") + text); }
  // Only the question that starts the run is expected.
  ModalResult Ask(const QString &text, const QString &, bool withCancel) override {
    if (withCancel) Fail(QStringLiteral("unexpected question: ") + text);
    return mrYes;
  }
  int RunModal(QDialog &dialog) override {
    if (Dialogs.empty()) Fail(QStringLiteral("unexpected dialog ") + dialog.windowTitle());
    auto answer = std::move(Dialogs.front());
    Dialogs.pop_front();
    return answer(dialog);
  }
  bool RunFileDialog(FileDialogState &dialog) override {
    dialog.Files = Pictures;
    dialog.FileName = Pictures.value(0);
    return true;
  }
  void ReportError(const QString &text) override { Fail(QStringLiteral("error: ") + text); }
  // The folder the annotated pictures are exported to.
  QString ExportFolder;
  // ... as PNG, the picture the README shows.
  bool ChooseFolder(const QString &, QString &folder, const QStringList &kinds, int &kind) override {
    folder = ExportFolder;
    for (int k = 0; k < kinds.size(); ++k)
      if (kinds[k].startsWith(QLatin1String("PNG"))) kind = k;
    return !folder.isEmpty();
  }
};

// One leaf: where its stalk meets the blade, the direction it points to and
// its length and width, in picture pixels.
struct Leaf {
  QPointF Base;
  double AngleDeg, Length, Width;
  QColor Colour;

  QPointF At(double along, double across) const {
    const double a = qDegreesToRadians(AngleDeg);
    return Base + QPointF(std::cos(a) * along - std::sin(a) * across, std::sin(a) * along + std::cos(a) * across);
  }
  QPointF Tip() const { return At(Length, 0); }
  QPainterPath Blade() const {
    QPainterPath p(At(0, 0));
    p.cubicTo(At(Length * 0.15, Width * 0.62), At(Length * 0.62, Width * 0.55), Tip());
    p.cubicTo(At(Length * 0.62, -Width * 0.55), At(Length * 0.15, -Width * 0.62), At(0, 0));
    return p;
  }
};

const double kDotsPerCm = 40;

// A scanned-looking picture: leaves and a centimetre ruler on paper.
QImage DrawPicture(QSize size, const std::vector<Leaf> &leaves, int seed) {
  QImage picture(size, QImage::Format_RGB32);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient paper(0, 0, size.width(), size.height());
  paper.setColorAt(0, QColor(238, 236, 228));
  paper.setColorAt(1, QColor(218, 215, 205));
  p.fillRect(picture.rect(), paper);

  // The ruler along the bottom edge, 0 to 15 cm.
  const QRectF ruler(24, size.height() - 74, 16 * kDotsPerCm, 52);
  p.fillRect(ruler.translated(3, 4), QColor(0, 0, 0, 40));
  QLinearGradient wood(ruler.topLeft(), ruler.bottomLeft());
  wood.setColorAt(0, QColor(246, 226, 160));
  wood.setColorAt(1, QColor(222, 196, 122));
  p.fillRect(ruler, wood);
  p.setPen(QPen(QColor(150, 120, 60), 1));
  p.drawRect(ruler);
  const double zero = ruler.left() + 20;
  QFont digits = p.font();
  digits.setPixelSize(11);
  p.setFont(digits);
  for (int mm = 0; mm <= 150; ++mm) {
    const double x = zero + mm * kDotsPerCm / 10;
    const double tick = mm % 10 == 0 ? 18 : mm % 5 == 0 ? 12 : 7;
    p.setPen(QPen(QColor(40, 30, 20), mm % 10 == 0 ? 1.4 : 0.8));
    p.drawLine(QPointF(x, ruler.top()), QPointF(x, ruler.top() + tick));
    if (mm % 10 == 0)
      p.drawText(QRectF(x - 10, ruler.top() + 20, 20, 14), Qt::AlignCenter, QString::number(mm / 10));
  }
  p.drawText(QRectF(ruler.right() - 40, ruler.top() + 34, 34, 14), Qt::AlignRight, QStringLiteral("cm"));

  for (const Leaf &leaf : leaves) {
    // Shadow, stalk, blade, midrib and veins.
    p.save();
    p.translate(4, 5);
    p.fillPath(leaf.Blade(), QColor(0, 0, 0, 45));
    p.restore();
    p.setPen(QPen(QColor(96, 88, 40), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(leaf.At(-leaf.Length * 0.16, leaf.Width * 0.04), leaf.At(0, 0));
    QRadialGradient fill(leaf.At(leaf.Length * 0.4, -leaf.Width * 0.1), leaf.Length * 0.7);
    fill.setColorAt(0, leaf.Colour.lighter(125));
    fill.setColorAt(1, leaf.Colour.darker(135));
    p.setPen(QPen(leaf.Colour.darker(170), 1.2));
    p.setBrush(fill);
    p.drawPath(leaf.Blade());
    p.setPen(QPen(leaf.Colour.lighter(150), 1.6));
    p.drawLine(leaf.At(0, 0), leaf.At(leaf.Length * 0.96, 0));
    p.setPen(QPen(leaf.Colour.lighter(135), 0.9));
    for (int v = 1; v <= 6; ++v) {
      const double along = leaf.Length * v / 8.0;
      const double reach = leaf.Width * 0.42 * std::sin(M_PI * (along / leaf.Length + 0.12));
      for (int side : {-1, 1}) {
        QPainterPath vein(leaf.At(along, 0));
        vein.quadTo(leaf.At(along + reach * 0.5, side * reach * 0.55), leaf.At(along + reach * 0.9, side * reach));
        p.setBrush(Qt::NoBrush);
        p.drawPath(vein);
      }
    }
  }
  p.end();

  // Sensor noise and a little vignetting, so it reads as a photograph.
  QRandomGenerator random(seed);
  const QPointF centre(size.width() / 2.0, size.height() / 2.0);
  const double far = std::hypot(centre.x(), centre.y());
  for (int y = 0; y < size.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(picture.scanLine(y));
    for (int x = 0; x < size.width(); ++x) {
      const double shade = 1.0 - 0.12 * std::pow(std::hypot(x - centre.x(), y - centre.y()) / far, 2);
      const int noise = int(random.bounded(9)) - 4;
      auto channel = [&](int v) { return qBound(0, int(v * shade) + noise, 255); };
      line[x] = qRgb(channel(qRed(line[x])), channel(qGreen(line[x])), channel(qBlue(line[x])));
    }
  }
  return picture;
}

struct Run {
  TScriptPrompter Prompt;
  TForm1 Form{Prompt};

  void Press(QPoint p) { QTest::mousePress(Form.Pane().Overlay(), Qt::LeftButton, {}, p); }
  void Move(QPoint p) { QTest::mouseMove(Form.Pane().Overlay(), p); }
  void Release(QPoint p) { QTest::mouseRelease(Form.Pane().Overlay(), Qt::LeftButton, {}, p); }
  void Drag(QPoint from, QPoint to) {
    Press(from);
    Move((from + to) / 2);
    Move(to);
    Release(to);
  }
  void Confirm() { Prompt.Dialogs.push_back([](QDialog &) { return int(mrOk); }); }

  // Measure, then the scale along the ruler from 0 to 10 cm; `shoot` sees the
  // window with the scale dialog open.
  void Scale(int rulerY, const std::function<void(TConvDlg &)> &shoot = {}) {
    Form.btMeasureClick();
    Prompt.Dialogs.push_back([shoot](QDialog &d) {
      auto &conv = dynamic_cast<TConvDlg &>(d);
      if (shoot) shoot(conv);
      conv.btOK->click();
      return conv.result();
    });
    Drag(QPoint(44, rulerY), QPoint(44 + int(10 * kDotsPerCm), rulerY));
  }

  void MeasureLeaves(const Leaf &first, const Leaf &second) {
    Confirm();
    Drag(first.At(0, 0).toPoint(), first.Tip().toPoint());
    // The tip's angle: vertex at the tip, one arm along each edge.
    Confirm();
    const QPoint tip = second.Tip().toPoint();
    Press(tip);
    Move(second.At(second.Length * 0.7, second.Width * 0.35).toPoint());
    Release(second.At(second.Length * 0.4, second.Width * 0.62).toPoint());
    Move(second.At(second.Length * 0.7, -second.Width * 0.35).toPoint());
    Release(second.At(second.Length * 0.4, -second.Width * 0.62).toPoint());
    Confirm();
    const QRectF box = second.Blade().boundingRect();
    Drag(box.topLeft().toPoint(), box.bottomRight().toPoint());
  }
};

void Save(const QImage &image, const QString &path) {
  if (!image.save(path, "PNG")) Fail(QStringLiteral("cannot write ") + path);
  QTextStream(stdout) << "wrote " << path << Qt::endl;
}
}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The journal of this run's sitting goes to a folder of its own.
  QTemporaryDir dataHome;
  qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
  QApplication app(argc, argv);
  if (argc != 2) Fail(QStringLiteral("usage: scaliper_screenshot OUTPUT_FOLDER"));
  const QDir out(QString::fromLocal8Bit(argv[1]));
  // A folder of its own name, so the table shows the same path every time.
  QDir folder(QDir::temp().filePath(QStringLiteral("scaliper-leaves")));
  folder.removeRecursively();
  if (!folder.mkpath(QStringLiteral("."))) Fail(QStringLiteral("cannot make ") + folder.path());

  Run run;
  TForm1 &form = run.Form;
  form.resize(884, 640);  // the window's starting size, whatever the screen
  AddDefinition(form.DefinitionList, form.ResultsTable, QStringLiteral("Length"), mkLine, false, false, false, false);
  AddDefinition(form.DefinitionList, form.ResultsTable, QStringLiteral("Tip"), mkAngle, false, false, false, false);
  AddDefinition(form.DefinitionList, form.ResultsTable, QStringLiteral("Blade"), mkRectangle, false, false, false, true);
  form.show();
  QApplication::processEvents();

  // Pictures the size of the image area, so the whole of one is in view.
  const QSize size = form.Pane().viewport()->size() - QSize(4, 4);
  const int rulerY = size.height() - 74 + 4;
  const QColor green(72, 128, 52), olive(104, 132, 48);
  const std::vector<std::vector<Leaf>> batch = {
      {{{70, 150}, -8, 260, 112, green}, {{420, 240}, -38, 230, 104, olive}},
      {{{64, 196}, -16, 290, 124, green}, {{430, 286}, -52, 210, 96, olive}},
      {{{90, 170}, 4, 240, 100, olive}, {{400, 220}, -30, 250, 110, green}},
  };
  for (size_t i = 0; i < batch.size(); ++i) {
    const QString path = folder.filePath(QStringLiteral("leaves%1.jpg").arg(i + 1, 2, 10, QChar(u'0')));
    if (!DrawPicture(size, batch[i], int(i) + 7).save(path, "JPG", 92)) Fail(QStringLiteral("cannot write ") + path);
    run.Prompt.Pictures << path;
  }
  form.btOpenImagesClick();
  // Each picture's figures are drawn on it: the rows must follow the files.
  for (int i = 0; i < int(batch.size()); ++i)
    if (form.ResultsTable.ImageFilePath(i) != run.Prompt.Pictures.at(i))
      Fail(QStringLiteral("row %1 is not ").arg(i + 1) + run.Prompt.Pictures.at(i));

  // The first picture, measured in full.
  Next(form);
  run.Scale(rulerY);
  run.MeasureLeaves(batch[0][0], batch[0][1]);

  // The second: the scale step, caught with its dialog open, then the leaves.
  Next(form);
  run.Scale(rulerY, [&](TConvDlg &dialog) {
    dialog.show();
    QApplication::processEvents();
    QImage shot = form.grab().toImage();
    QPainter p(&shot);
    const QRect at(dialog.geometry().topLeft() - form.geometry().topLeft(), dialog.size());
    p.fillRect(at.translated(4, 4), QColor(0, 0, 0, 60));  // the dialog stands above the window
    p.drawImage(at.topLeft(), dialog.grab().toImage());
    p.setPen(QColor(90, 90, 90));
    p.drawRect(at.adjusted(0, 0, -1, -1));
    p.end();
    Save(shot, out.filePath(QStringLiteral("scale-step.png")));
  });
  run.MeasureLeaves(batch[1][0], batch[1][1]);
  QApplication::processEvents();
  Save(form.grab().toImage(), out.filePath(QStringLiteral("screenshot.png")));

  // The third: a length being drawn, with its live value and the loupe.
  Next(form);
  run.Scale(rulerY);
  const Leaf &leaf = batch[2][0];
  const QPoint end = leaf.At(leaf.Length * 0.8, 0).toPoint();
  run.Press(leaf.At(0, 0).toPoint());
  run.Move(leaf.At(leaf.Length * 0.5, 0).toPoint());
  run.Move(end);
  QApplication::processEvents();
  Save(form.grab().toImage(), out.filePath(QStringLiteral("drawing.png")));
  run.Confirm();
  run.Release(end);

  // Files > Export Annotated Images: the first picture as it is exported.
  QTemporaryDir exported;
  run.Prompt.ExportFolder = exported.path();
  form.ExportAnnotated1Click();
  const QImage annotated(exported.filePath(QStringLiteral("leaves01_annotated.png")));
  if (annotated.isNull()) Fail(QStringLiteral("no annotated picture was exported"));
  Save(annotated, out.filePath(QStringLiteral("annotated.png")));

  if (!run.Prompt.Dialogs.empty()) Fail(QStringLiteral("a scripted answer was not used"));

  // Many objects on one picture: ten leaflets, each a row of its own with
  // its length and width.
  Run objects;
  TForm1 &many = objects.Form;
  many.resize(884, 640);
  AddDefinition(many.DefinitionList, many.ResultsTable, QStringLiteral("Length"), mkLine, false, false, false, false);
  AddDefinition(many.DefinitionList, many.ResultsTable, QStringLiteral("Width"), mkLine, false, false, false, false);
  many.show();
  QApplication::processEvents();
  std::vector<Leaf> leaflets;
  for (int k = 0; k < 10; ++k)
    leaflets.push_back({{40.0 + 135 * (k % 5), 70.0 + 150 * (k / 5)}, -20.0 + 9 * k, 80.0 + 3 * k, 38.0 + k % 3 * 4,
                        k % 2 ? green : olive});
  const QString path = folder.filePath(QStringLiteral("leaflets.jpg"));
  if (!DrawPicture(size, leaflets, 11).save(path, "JPG", 92)) Fail(QStringLiteral("cannot write ") + path);
  objects.Prompt.Pictures = {path};
  many.btOpenImagesClick();
  Next(many);
  objects.Scale(rulerY);
  for (size_t k = 0; k < leaflets.size(); ++k) {
    const Leaf &l = leaflets[k];
    if (k > 0) many.NextObject1Click();
    objects.Confirm();
    objects.Drag(l.At(0, 0).toPoint(), l.Tip().toPoint());
    objects.Confirm();
    objects.Drag(l.At(l.Length * 0.42, -l.Width * 0.42).toPoint(), l.At(l.Length * 0.42, l.Width * 0.42).toPoint());
  }
  QApplication::processEvents();
  Save(many.grab().toImage(), out.filePath(QStringLiteral("objects.png")));
  if (!objects.Prompt.Dialogs.empty()) Fail(QStringLiteral("a scripted answer was not used"));
  folder.removeRecursively();
  return 0;
}
