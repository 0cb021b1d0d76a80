#pragma once

#include <QStatusBar>
#include <map>
#include <memory>

class QLabel;
class QProgressBar;

namespace velmora {

// The main window's status bar: elements are added at run time under an identifier, found and
// removed by it. The frame owns the bar; the bar owns its elements.
class RibbonStatusBar : public QStatusBar {
    Q_OBJECT

  public:
    // Elements up to this height fit without changing the bar's height.
    static constexpr int kElementHeight = 22;

    explicit RibbonStatusBar(QWidget* parent = nullptr);

    // Takes ownership and shows the element at the right end. An element already present under
    // the same identifier is replaced (and deleted).
    void AddDynamicElement(int id, std::unique_ptr<QWidget> element);
    // Null when there is no element with that identifier.
    [[nodiscard]] QWidget* FindElement(int id) const;
    [[nodiscard]] QLabel* FindLabel(int id) const;
    [[nodiscard]] QProgressBar* FindProgressBar(int id) const;
    // Removes and deletes the element; false when there was none.
    bool RemoveElement(int id);
    [[nodiscard]] int ElementCount() const { return static_cast<int>(elements_.size()); }

    // Lays the elements out again after one was added, removed or changed its text.
    void RecalcLayout();
    // Paints the bar now, not at the next turn of the event loop.
    void RepaintNow();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    // The right margin a window's content keeps from its edge in the current style.
    void KeepStyleMargin();

    std::map<int, QWidget*> elements_;  // children of the bar
};

// A single-line text element.
std::unique_ptr<QLabel> MakeStatusLabel(const QString& text);
// A progress element of the given size and range, at its minimum.
std::unique_ptr<QProgressBar> MakeStatusProgressBar(int width, int height, int minimum,
                                                    int maximum);

}  // namespace velmora
