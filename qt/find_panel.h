// FindPanel: the window's Find. A person types what to find, ticks where to
// look (key names, value names, data), whole text and match case, and picks
// where to start (the selected key or the machine's root); the matches fill a
// list (path, name, type, data) while the search runs, with the number of
// keys visited so far and a Cancel button.
//
// The panel does not know the tree: on Find it asks its owner for the keys to
// search (findRequested), and the owner answers with Start. Each search runs
// RegistrySearch on a worker thread of its own through the thread-safe
// registry service; the matches travel to the GUI thread in batches (a queued
// call once a batch is full, and a timer that also shows the progress), so
// the window never waits for the walk. Starting a search, Stop and the
// destructor cancel the running one and join its thread; nothing the worker
// posted outlives the panel. Everything but the worker runs on the GUI thread.
//
// A double click (or Enter) on a result, and OpenNext (F3), ask the owner to
// open that result (openRequested with its row).
#ifndef QVR_QT_FIND_PANEL_H_
#define QVR_QT_FIND_PANEL_H_

#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "registry/registry_search.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace qvr::view {

class FindPanel : public QWidget {
  Q_OBJECT

 public:
  // A key to search below: a handle of the current registry service, the
  // full name matches report for it, and whether the search closes the
  // handle when it is done with it (a key opened for the search).
  struct Top {
    HKEY key = 0;
    std::string path;
    bool close = false;
  };

  explicit FindPanel(QWidget* parent = nullptr);
  // Cancels a running search and waits for its thread.
  ~FindPanel() override;

  // What the fields ask for.
  SearchOptions Options() const;
  // True when the search is to start at the machine's root.
  bool FromRoot() const;
  // Puts the cursor in the what field, its text selected.
  void FocusText();

  // Cancels and joins the running search, clears the results and searches
  // the `tops` one after another in their order. The panel takes the handles
  // marked `close` and closes them even when nothing is searched.
  void Start(std::vector<Top> tops, const SearchOptions& options);
  // Asks the running search to stop; the results found so far stay.
  void Cancel();
  // Cancels the running search and waits until its thread has ended.
  void Stop();
  bool Running() const;

  int Count() const { return static_cast<int>(results_.size()); }
  const SearchMatch& Result(int row) const { return results_[row]; }
  // The row opened last; -1 before any.
  int CurrentRow() const { return current_; }
  // Opens the result after the one opened last; false (with the reason in
  // the progress line) when there is none yet.
  bool OpenNext();
  // Makes `row` the current row of the list and asks for it to be opened.
  void OpenResult(int row);
  // The progress line: the keys visited and the matches found, or how the
  // search ended.
  QString Progress() const;

 signals:
  // Find was pressed: the owner answers with Start (or does nothing).
  void findRequested();
  // Result `row` is to be opened.
  void openRequested(int row);
  // Results were added to the list (after each batch).
  void resultsAdded();
  // The search ended (at its end, cancelled, or stopped by a failure).
  void finished();

 private:
  struct Job;

  // Worker thread: searches every top, then posts the end.
  static void Work(Job* job, FindPanel* panel);
  // GUI thread: moves the pending matches into the list, shows the
  // progress, and joins the worker once it has ended.
  void Drain();
  void ShowProgress();

  QLineEdit* what_;
  QCheckBox* keys_;
  QCheckBox* values_;
  QCheckBox* data_;
  QCheckBox* whole_;
  QCheckBox* match_case_;
  QComboBox* start_;
  QPushButton* find_;
  QPushButton* cancel_;
  QLabel* progress_;
  QTreeWidget* list_;
  QTimer timer_;
  std::unique_ptr<Job> job_;
  std::vector<SearchMatch> results_;
  int current_ = -1;
};

// The data of a match as the results list shows it: the text types as text
// (REG_MULTI_SZ's strings joined by "\0"), REG_DWORD as a number, anything
// else as hex bytes; at most `limit` characters.
std::string MatchDataText(const SearchMatch& match, size_t limit = 200);

}  // namespace qvr::view

#endif  // QVR_QT_FIND_PANEL_H_
