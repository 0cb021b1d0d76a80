#pragma once

#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "document/velmora_doc.h"
#include "engine/fill_job.h"
#include "platform/command_router.h"
#include "platform/command_target.h"
#include "platform/message_boxes.h"
#include "platform/ribbon_status_bar.h"

namespace velmora::test {

// Keeps the messages a document would have shown.
class RecordingMessages final : public MessageBoxes {
  public:
    void ShowError(const QString& text) override { errors.push_back(text); }
    void ShowNotice(const QString& text) override { notices.push_back(text); }
    bool AskYesNo(const QString& question) override {
        questions.push_back(question);
        return answerYes;
    }
    std::vector<QString> errors;
    std::vector<QString> notices;
    std::vector<QString> questions;
    bool answerYes = true;
};

// A picture with smooth gradients and a little pattern, so a fill visibly changes its hole.
QImage MakeTestPicture(int width, int height, QImage::Format format = QImage::Format_RGB32);

// Writes a picture with Qt's writer; returns the path.
QString WritePicture(const QImage& picture, const QString& path, const char* format = nullptr,
                     int quality = -1);

inline constexpr std::uint32_t kSeed = 20240601u;  // the rig's seed clock

// Every command the document carries out or enables, in the order of its table.
const std::vector<int>& DocumentCommandIds();

// A document wired as the frame wires it: router, status bar and recorded messages. The
// application stage carries out Open, Save and Save As, as the shell does.
struct DocumentRig {
    DocumentRig();
    ~DocumentRig();

    [[nodiscard]] bool Enabled(int id) const { return router.Query(id).enabled(); }
    [[nodiscard]] bool Checked(int id) const { return router.Query(id).checked(); }
    // Opens a test picture of the given size; fails the test when it cannot.
    void OpenPicture(int width, int height);
    // Marks `hole` for filling with a source area around it, and gives the outline two points.
    void MarkHole(const FillRect& hole);
    // Makes the next job wait where it takes its seed, before its loop, until a stop is asked for.
    void HoldJobUntilStopRequested();
    // Runs the event loop until the document is idle again.
    void WaitForIdle();
    [[nodiscard]] QImage CurrentCopy() const;
    [[nodiscard]] QString LabelText() const;  // "<none>" without a label
    [[nodiscard]] int BarValue() const;       // -1 without a bar

    QTemporaryDir dir;
    CommandRouter router;
    CommandTarget application;
    RibbonStatusBar statusBar;
    RecordingMessages messages;
    std::unique_ptr<CVelmoraDoc> doc;
};

// Those of DocumentCommandIds() that are enabled now.
std::set<int> EnabledCommands(const DocumentRig& rig);

// Reports a complete job makes for `marked` pixels: one before every step-th of 2 x marked entries.
int ExpectedReports(int marked);

// Holds the fill job's worker just before it posts its n-th progress report, until the test lets
// it go or `releaseWhen` says so (polled on the worker).
class WorkerGate {
  public:
    std::function<void(int)> HoldAtProgress(int n, std::function<bool()> releaseWhen = {});
    void WaitUntilHeld();
    void Release();

  private:
    int reports_ = 0;  // worker thread only
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool released_ = false;
};

// What the status bar showed after each delivered progress report, and the finishes delivered.
struct JobRecord {
    explicit JobRecord(DocumentRig& rig);
    std::vector<QString> labels;
    std::vector<int> bars;
    int finished = 0;
};

// The fill the document should have made: the same job run directly on `picture`, stopped
// before the entry that follows the `stopAfterReports`-th progress report (0 = never stopped).
QImage ReferenceFill(const QImage& picture, const CVelmoraDoc& doc, const FillRect& hole,
                     std::uint32_t seed, int stopAfterReports = 0);

}  // namespace velmora::test
