#include "jobs/OptionCheck.h"

#include "components/TFFLoader.h"
#include "components/encoder/TCustomEncoder.h"
#include "transcode/TCustomFFmpeg.h"

#include <QRegularExpression>

#include <exception>

namespace {

QString FirstLine(const std::string &AText) {
  const QString text = QString::fromStdString(AText).trimmed();
  return text.left(text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")))).trimmed();
}

} // namespace

QString OutputOptionsError(const QString &AOptions, const QString &AFileName,
                           const QString &ALibraryPath) {
  if (!FFLoader().Loaded(EncoderLibraries)) {
    FFLoader().LibraryPath = ALibraryPath.toStdString();
    if (!FFLoader().Load(EncoderLibraries))
      return {};
  }
  TCustomFFmpeg engine;
  TOptionsContext o;
  engine.InitOptionsContext(o);
  QString error;
  try {
    // The text as the job hands it to the engine.
    const std::string text = TCustomEncoder::EngineOutputOptions(AOptions.toStdString());
    if (engine.ParseOptions(o, text, ofOutput, AFileName.toStdString(), "output file", "") < 0)
      error = FirstLine(engine.LastErrMsg());
  } catch (const std::exception &e) {
    error = FirstLine(e.what());
  }
  engine.UninitOptionsContext(o);
  return error;
}
