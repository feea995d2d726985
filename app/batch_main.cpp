// pagorra-batch: contact sheet pages from the command line, on the same engine as the
// desktop program.
#include "batch/batchoptions.h"
#include "batch/pagefilewriter.h"
#include "batch/terminalprogress.h"
#include "core/imaging.h"
#include "errors/errorhandler.h"
#include "generation/generationrun.h"
#include "generation/imageloader.h"
#include "generation/page.h"

#include <QGuiApplication>
#include <QLoggingCategory>

#include <csignal>
#include <cstdio>
#include <thread>

using namespace pagorra;

namespace {

void onInterrupt(int)
{
    TerminalProgress::requestCancel();
}

void printLine(std::FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", qUtf8Printable(text));
}

// Reports that the desktop program shows in a window go to stderr, one line each.
void printReport(const ErrorReport &report)
{
    QString line = QStringLiteral("pagorra-batch: ") + report.routineName + QStringLiteral(": ") + report.systemError;
    if (!report.trappingString.isEmpty())
        line += QStringLiteral(" (") + report.trappingString + u')';
    printLine(stderr, line);
}

} // namespace

int main(int argc, char *argv[])
{
    // Fonts and colours need a GUI application object, but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    prepareImagingEnvironment(argv[0]);
    QGuiApplication app(argc, argv);
    // The environment is final from here on (a platform plugin may still change it as Qt
    // starts), so other threads may start. The image library loads its format modules as it
    // starts, which takes as long as a few photos: it starts on a core of its own while the
    // arguments, settings and inputs are read on this one.
    std::jthread imageLibrary(ensureImageLibraryStarted);
    // Damaged inputs are listed at the end; the decoders' own complaints would bury that list.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
    initErrorHandling();
    setReportPresenter(printReport);

    QStringList arguments = app.arguments();
    arguments.removeFirst();
    const BatchParse parse = parseBatchArguments(arguments);
    if (parse.options.help) {
        std::fputs(qUtf8Printable(batchUsage()), stdout);
        return 0;
    }
    if (!parse.error.isEmpty()) {
        printLine(stderr, QStringLiteral("pagorra-batch: ") + parse.error);
        std::fputs(qUtf8Printable(batchUsage()), stderr);
        return 2;
    }
    if (const QString problem = outputFolderProblem(parse.options.output); !problem.isEmpty()) {
        printLine(stderr, QStringLiteral("pagorra-batch: ") + problem);
        return 1;
    }
    const BatchInputs inputs = listBatchInputs(parse.options.inputs);
    if (!inputs.error.isEmpty()) {
        printLine(stderr, QStringLiteral("pagorra-batch: ") + inputs.error);
        return 2;
    }

    RegistrySettings settings = batchBaseSettings();
    applyBatchOptions(parse.options, settings);

    imageLibrary.join();
    // The run decodes several files at once on its own threads; more threads per file
    // would only compete with them.
    setThreadsPerLoad(1);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    TerminalProgress progress(stderr);
    PageFileWriter writer(parse.options.output, parse.options.multipage);
    GenerationRun run(settings, inputs.files, progress);
    run.setDecodingThreads(parse.options.jobs);
    setLastAction(QStringLiteral("Making pages into '%1'").arg(parse.options.output));
    GenerationResult result = run.stream([&](const Page &page, int number) { writer.write(page.image(), number); });
    // A cancelled run keeps what it made, as the desktop program's cancel does.
    if (result.outcome != GenerationResult::Outcome::Failed &&
        result.outcome != GenerationResult::Outcome::CheckFailed) {
        try {
            writer.finish();
        } catch (const RuntimeError &e) {
            globalErrorHandler(e, writer.isMultipage() ? QStringLiteral("fncSaveMultiPageFromBitmaps")
                                                       : QStringLiteral("cmdSaveAll_Click"));
            result.outcome = GenerationResult::Outcome::Failed;
        }
    }

    if (result.outcome == GenerationResult::Outcome::CheckFailed) {
        printLine(stderr, result.message->text);
        return 1;
    }
    for (const QString &file : writer.written())
        printLine(stdout, QStringLiteral("written: ") + file);
    printLine(stdout,
              QStringLiteral("%1 page(s) written, %2 picture(s) placed").arg(writer.pagesWritten()).arg(result.placed));
    if (!result.skippedFiles.isEmpty()) {
        printLine(stderr, QStringLiteral("%1 file(s) could not be read:").arg(result.skippedFiles.size()));
        for (const QString &file : result.skippedFiles)
            printLine(stderr, QStringLiteral("  ") + file);
    }
    switch (result.outcome) {
    case GenerationResult::Outcome::Failed:
        return 1;
    case GenerationResult::Outcome::Cancelled:
        printLine(stderr, QStringLiteral("cancelled"));
        return 130;
    default:
        return 0;
    }
}
