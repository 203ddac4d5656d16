#include "HostCommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <cmath>
#include <iostream>

#include "DefaultModule.h"
#include "GrabCommand.h"
#include "HostError.h"
#include "ListCommand.h"
#include "LogCapture.h"
#include "TablesCommand.h"
#include "ViewCommand.h"

namespace {

constexpr uint64_t kMaxFrames = 100000000;

HostError usage(const QString& message) { return HostError(ExitCode::Usage, message); }

uint64_t positiveCount(const QCommandLineParser& parser, const QString& name, uint64_t max) {
  bool ok = false;
  const QString text = parser.value(name);
  const qulonglong value = text.toULongLong(&ok);
  if (!ok || value == 0 || value > max) {
    throw usage(
        QStringLiteral("--%1 wants a whole number from 1 to %2, not \"%3\"").arg(name).arg(max).arg(text));
  }
  return value;
}

constexpr qint64 kMaxTokenFileRead = 256;

double positiveSeconds(const QCommandLineParser& parser, const QString& name) {
  bool ok = false;
  const QString text = parser.value(name);
  const double value = text.toDouble(&ok);
  if (!ok || !std::isfinite(value) || value <= 0 || value > 1e6) {
    throw usage(QStringLiteral("--%1 wants a positive number, not \"%2\"").arg(name, text));
  }
  return value;
}

}  // namespace

std::optional<HostOptions> HostCommandLine::parse(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Loads a camera module of the host interface, lists its cameras and grabs frames.\n\n"
                     "Commands:\n"
                     "  list     one line per camera key the module lists\n"
                     "  grab     open a camera, grab frames, write pictures and a summary\n"
                     "  view     open a camera and show it live in the browser, with controls and figures\n"
                     "  tables   the host interface's four name tables\n\n"
                     "Exit codes: 0 done, 2 bad arguments, 3 module not loadable, 4 camera not opened,\n"
                     "5 acquisition refused, 6 output not writable, 7 frames missing, 8 module exception,\n"
                     "9 view address not usable."));
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help(QStringList{"h", "help"}, QStringLiteral("Shows this help."));
  parser.addOption(help);
  parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("list, grab, view or tables"));

  const QCommandLineOption module(
      QStringLiteral("module"),
      QStringLiteral("The camera module to load (default: %1).").arg(DefaultModule::path()),
      QStringLiteral("PATH"));
  const QCommandLineOption verbose(
      QStringLiteral("verbose"),
      QStringLiteral("Also shows the module's debug lines and the SDK layer's diagnostics."));
  const QCommandLineOption emulate(
      QStringLiteral("emulate"),
      QStringLiteral("list, grab, view: make N emulated cameras present (ZAZOD_SDK_EMULATED_CAMERAS)."),
      QStringLiteral("N"));
  const QCommandLineOption key(
      QStringLiteral("key"),
      QStringLiteral("grab, view: the camera key to open (default: the first listed)."),
      QStringLiteral("KEY"));
  const QCommandLineOption mode(QStringLiteral("mode"),
                                QStringLiteral("grab, view: hardware, software (default) or counted."),
                                QStringLiteral("MODE"));
  const QCommandLineOption frames(QStringLiteral("frames"),
                                  QStringLiteral("grab: frames to grab (default 10)."), QStringLiteral("N"));
  const QCommandLineOption limit(
      QStringLiteral("limit"),
      QStringLiteral(
          "grab, view, counted mode: the camera's frame limit (grab default: --frames; view: 10)."),
      QStringLiteral("M"));
  const QCommandLineOption rate(
      QStringLiteral("rate"),
      QStringLiteral("grab: snap at HZ a second instead of waiting for each frame; in hardware "
                     "mode the Line1 pulse rate of emulated cameras (default 30 with --emulate); view: the "
                     "auto-snap rate (default 10)."),
      QStringLiteral("HZ"));
  const QCommandLineOption out(QStringLiteral("out"),
                               QStringLiteral("grab: write frame-NNNN.png pictures and contact.png into DIR, "
                                              "replacing those of an earlier grab."),
                               QStringLiteral("DIR"));
  const QCommandLineOption every(QStringLiteral("every"),
                                 QStringLiteral("grab: write every K-th frame (default 1)."),
                                 QStringLiteral("K"));
  const QCommandLineOption timeout(QStringLiteral("timeout"),
                                   QStringLiteral("grab: seconds to wait for the next frame (default 5)."),
                                   QStringLiteral("SECONDS"));
  const QCommandLineOption port(
      QStringLiteral("port"), QStringLiteral("view: the port to serve on (default 8190; 0: any free port)."),
      QStringLiteral("PORT"));
  const QCommandLineOption bind(
      QStringLiteral("bind"),
      QStringLiteral("view: the numeric address to serve on (default 127.0.0.1); any other than loopback "
                     "needs a token, made up and printed when --token is not given."),
      QStringLiteral("ADDRESS"));
  const QCommandLineOption token(QStringLiteral("token"),
                                 QStringLiteral("view: the secret every request must carry."),
                                 QStringLiteral("SECRET"));
  const QCommandLineOption tokenFile(
      QStringLiteral("token-file"),
      QStringLiteral("view: a file whose first line is the token, which then appears in no process "
                     "list; ZAZOD_VIEW_TOKEN in the environment does as well."),
      QStringLiteral("FILE"));
  parser.addOptions({module, verbose, emulate, key, mode, frames, limit, rate, out, every, timeout, port,
                     bind, token, tokenFile});

  if (!parser.parse(arguments)) {
    throw usage(parser.errorText());
  }
  if (parser.isSet(help)) {
    std::cout << parser.helpText().toStdString() << std::flush;
    return std::nullopt;
  }

  HostOptions options;
  options.arguments = arguments;
  const QStringList positional = parser.positionalArguments();
  if (positional.isEmpty()) {
    throw usage(QStringLiteral("no command given: use list, grab, view or tables (see --help)"));
  }
  if (positional.size() > 1) {
    throw usage(QStringLiteral("one command at a time, not \"%1\"").arg(positional.join(QLatin1Char(' '))));
  }
  options.command = positional.first();
  if (options.command != QLatin1String("list") && options.command != QLatin1String("grab") &&
      options.command != QLatin1String("view") && options.command != QLatin1String("tables")) {
    throw usage(
        QStringLiteral("unknown command \"%1\": use list, grab, view or tables").arg(options.command));
  }

  // Options that only some commands take.
  const std::pair<QStringList, QList<QCommandLineOption>> commandOnly[] = {
      {{QStringLiteral("grab")}, {frames, out, every, timeout}},
      {{QStringLiteral("grab"), QStringLiteral("view")}, {key, mode, limit, rate}},
      {{QStringLiteral("view")}, {port, bind, token, tokenFile}},
  };
  for (const auto& [commands, commandOptions] : commandOnly) {
    for (const QCommandLineOption& option : commandOptions) {
      if (!commands.contains(options.command) && parser.isSet(option)) {
        throw usage(
            QStringLiteral("--%1 is an option of %2, not of %3")
                .arg(option.names().first(), commands.join(QStringLiteral(" and ")), options.command));
      }
    }
  }
  if (options.command == QLatin1String("tables") && (parser.isSet(emulate) || parser.isSet(module))) {
    throw usage(QStringLiteral("tables loads no module and takes no --module or --emulate"));
  }

  options.modulePath = parser.isSet(module) ? parser.value(module) : DefaultModule::path();
  options.verbose = parser.isSet(verbose);
  if (parser.isSet(emulate)) {
    bool ok = false;
    const int count = parser.value(emulate).toInt(&ok);
    if (!ok || count < 0 || count > 99) {
      throw usage(QStringLiteral("--emulate wants a number of cameras from 0 to 99, not \"%1\"")
                      .arg(parser.value(emulate)));
    }
    options.emulate = count;
  }
  options.key = parser.value(key);
  if (parser.isSet(key) && options.key.isEmpty()) {
    throw usage(QStringLiteral("--key wants a camera key such as \"basler EMU0001\""));
  }
  if (parser.isSet(mode)) {
    options.modeName = parser.value(mode);
    if (options.modeName == QLatin1String("hardware")) {
      options.mode = GrabMode_HardwareTrigger;
    } else if (options.modeName == QLatin1String("software")) {
      options.mode = GrabMode_SoftwareTrigger;
    } else if (options.modeName == QLatin1String("counted")) {
      options.mode = GrabMode_SoftwareTriggerCounted;
    } else {
      throw usage(QStringLiteral("unknown grab mode \"%1\": use hardware, software or counted")
                      .arg(options.modeName));
    }
  }
  if (parser.isSet(frames)) {
    options.frames = positiveCount(parser, QStringLiteral("frames"), kMaxFrames);
  }
  if (parser.isSet(limit)) {
    if (options.mode != GrabMode_SoftwareTriggerCounted) {
      throw usage(QStringLiteral("--limit applies to --mode counted only"));
    }
    bool ok = false;
    const uint value = parser.value(limit).toUInt(&ok);
    if (!ok) {
      throw usage(QStringLiteral("--limit wants a whole number from 0 to 4294967295, not \"%1\"")
                      .arg(parser.value(limit)));
    }
    options.limit = value;
  }
  if (parser.isSet(rate)) {
    options.rate = positiveSeconds(parser, QStringLiteral("rate"));
  }
  options.outDir = parser.value(out);
  if (parser.isSet(out) && options.outDir.isEmpty()) {
    throw usage(QStringLiteral("--out wants a folder"));
  }
  if (parser.isSet(every)) {
    options.every = positiveCount(parser, QStringLiteral("every"), kMaxFrames);
  }
  if (parser.isSet(timeout)) {
    options.timeoutSeconds = positiveSeconds(parser, QStringLiteral("timeout"));
  }
  if (parser.isSet(port)) {
    bool ok = false;
    const uint value = parser.value(port).toUInt(&ok);
    if (!ok || value > 65535) {
      throw usage(QStringLiteral("--port wants a port from 0 to 65535, not \"%1\"").arg(parser.value(port)));
    }
    options.port = static_cast<uint16_t>(value);
  }
  if (parser.isSet(bind)) {
    options.bind = parser.value(bind);
    if (!ViewCommand::isNumericAddress(options.bind)) {
      throw usage(
          QStringLiteral("--bind wants a numeric IPv4 or IPv6 address, not \"%1\"").arg(options.bind));
    }
  }
  QString tokenFrom;
  if (parser.isSet(token) && parser.isSet(tokenFile)) {
    throw usage(QStringLiteral("--token and --token-file: one or the other"));
  }
  if (parser.isSet(token)) {
    tokenFrom = QStringLiteral("--token");
    options.token = parser.value(token);
  } else if (parser.isSet(tokenFile)) {
    tokenFrom = QStringLiteral("--token-file");
    QFile file(parser.value(tokenFile));
    if (!file.open(QIODevice::ReadOnly)) {
      throw usage(QStringLiteral("--token-file: cannot read \"%1\"").arg(parser.value(tokenFile)));
    }
    // The first line only, and no more of the file than a token can be long.
    QByteArray first = file.read(kMaxTokenFileRead);
    first.truncate(first.indexOf('\n') < 0 ? first.size() : first.indexOf('\n'));
    if (first.endsWith('\r')) {
      first.chop(1);
    }
    options.token = QString::fromLatin1(first);
  } else if (options.command == QLatin1String("view") && qEnvironmentVariableIsSet("ZAZOD_VIEW_TOKEN")) {
    tokenFrom = QStringLiteral("ZAZOD_VIEW_TOKEN");
    options.token = qEnvironmentVariable("ZAZOD_VIEW_TOKEN");
  }
  // The token travels in URLs, headers and a cookie: letters, digits, '-', '_' and '.' only.
  static const QRegularExpression safe(QStringLiteral("^[A-Za-z0-9._-]{8,128}$"));
  if (!tokenFrom.isEmpty() && !safe.match(options.token).hasMatch()) {
    throw usage(QStringLiteral("%1 wants 8 to 128 letters, digits, '.', '_' or '-'").arg(tokenFrom));
  }
  return options;
}

int HostCommandLine::run(const QStringList& arguments) {
  const std::optional<HostOptions> options = parse(arguments);
  if (!options) {
    return static_cast<int>(ExitCode::Success);
  }
  if (options->command == QLatin1String("tables")) {
    return TablesCommand::run();
  }
  LogCapture log;
  if (options->command == QLatin1String("list")) {
    return ListCommand::run(*options, log);
  }
  if (options->command == QLatin1String("view")) {
    return ViewCommand::run(*options, log);
  }
  return GrabCommand::run(*options, log);
}
