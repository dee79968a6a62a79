#include "qt/find_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <atomic>
#include <mutex>
#include <thread>

#include "base/unicode.h"
#include "control/export_text.h"
#include "qt/value_details.h"
#include "registry/registry_service.h"

namespace qvr::view {
namespace {

// Matches wait for the GUI in batches of this size (the timer takes smaller
// ones), so a search that matches everything does not flood the event queue.
constexpr size_t kBatch = 256;
constexpr int kProgressMs = 100;

enum Column { kPathColumn, kNameColumn, kTypeColumn, kDataColumn };

}  // namespace

// One search: what the worker thread and the GUI thread share.
struct FindPanel::Job {
  std::shared_ptr<RegistryService> service;
  std::vector<Top> tops;
  SearchOptions options;
  std::thread thread;
  std::atomic<bool> cancelled{false};
  std::atomic<bool> ended{false};
  LONG result = 0;  // written by the worker before `ended`

  std::mutex mu;
  RegistrySearch* current = nullptr;  // guarded by mu
  int64_t visited_before = 0;         // the keys of the tops done; guarded by mu
  std::vector<SearchMatch> pending;   // guarded by mu

  int64_t Visited() {
    std::lock_guard<std::mutex> lock(mu);
    return visited_before + (current ? current->KeysVisited() : 0);
  }
  void Cancel() {
    cancelled = true;
    std::lock_guard<std::mutex> lock(mu);
    if (current) current->Cancel();
  }
};

FindPanel::FindPanel(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  auto* line = new QHBoxLayout();
  line->addWidget(new QLabel("Find:", this));
  what_ = new QLineEdit(this);
  what_->setObjectName("findWhat");
  line->addWidget(what_, 1);
  find_ = new QPushButton("Find", this);
  find_->setObjectName("findStart");
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setObjectName("findCancel");
  cancel_->setEnabled(false);
  line->addWidget(find_);
  line->addWidget(cancel_);
  layout->addLayout(line);

  auto* where = new QHBoxLayout();
  auto box = [&](const char* name, const char* text, bool on) {
    auto* check = new QCheckBox(text, this);
    check->setObjectName(name);
    check->setChecked(on);
    where->addWidget(check);
    return check;
  };
  keys_ = box("findKeys", "Keys", true);
  values_ = box("findValues", "Values", true);
  data_ = box("findData", "Data", true);
  whole_ = box("findWhole", "Whole text", false);
  match_case_ = box("findCase", "Match case", false);
  where->addWidget(new QLabel("Start at:", this));
  start_ = new QComboBox(this);
  start_->setObjectName("findFrom");
  start_->addItems({"the selected key", "the machine's root"});
  where->addWidget(start_);
  where->addStretch(1);
  layout->addLayout(where);

  list_ = new QTreeWidget(this);
  list_->setObjectName("findResults");
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({"Key", "Name", "Type", "Data"});
  list_->header()->resizeSection(kPathColumn, 320);
  layout->addWidget(list_, 1);
  progress_ = new QLabel(this);
  progress_->setObjectName("findProgress");
  layout->addWidget(progress_);

  connect(find_, &QPushButton::clicked, this, &FindPanel::findRequested);
  connect(what_, &QLineEdit::returnPressed, this, &FindPanel::findRequested);
  connect(cancel_, &QPushButton::clicked, this, &FindPanel::Cancel);
  connect(list_, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item) { OpenResult(list_->indexOfTopLevelItem(item)); });
  timer_.setInterval(kProgressMs);
  connect(&timer_, &QTimer::timeout, this, &FindPanel::Drain);
}

FindPanel::~FindPanel() { Stop(); }

SearchOptions FindPanel::Options() const {
  SearchOptions options;
  options.text = what_->text().toStdString();
  options.keys = keys_->isChecked();
  options.value_names = values_->isChecked();
  options.data = data_->isChecked();
  options.whole = whole_->isChecked();
  options.match_case = match_case_->isChecked();
  return options;
}

bool FindPanel::FromRoot() const { return start_->currentIndex() == 1; }

void FindPanel::FocusText() {
  what_->setFocus();
  what_->selectAll();
}

bool FindPanel::Running() const { return job_ && job_->thread.joinable(); }

void FindPanel::Cancel() {
  if (job_) job_->Cancel();
}

void FindPanel::Stop() {
  if (!Running()) return;
  job_->Cancel();
  job_->thread.join();
  timer_.stop();
  cancel_->setEnabled(false);
  ShowProgress();
}

void FindPanel::Start(std::vector<Top> tops, const SearchOptions& options) {
  Stop();
  job_.reset();
  results_.clear();
  list_->clear();
  current_ = -1;
  auto job = std::make_unique<Job>();
  job->service = CurrentRegistryService();
  job->tops = std::move(tops);
  job->options = options;
  job_ = std::move(job);
  cancel_->setEnabled(true);
  timer_.start();
  job_->thread = std::thread(&FindPanel::Work, job_.get(), this);
  ShowProgress();
}

void FindPanel::Work(Job* job, FindPanel* panel) {
  LONG result = ERROR_SUCCESS;
  for (const Top& top : job->tops) {
    if (!job->service) break;
    if (job->cancelled) {
      result = ERROR_CANCELLED;
      break;
    }
    RegistrySearch search(*job->service, top.key, top.path, job->options);
    {
      std::lock_guard<std::mutex> lock(job->mu);
      job->current = &search;
    }
    // Cancel either saw `current` or set `cancelled` before this check.
    if (job->cancelled) search.Cancel();
    const LONG rc = search.Run([job, panel](const SearchMatch& match) {
      std::lock_guard<std::mutex> lock(job->mu);
      job->pending.push_back(match);
      if (job->pending.size() == kBatch)
        QMetaObject::invokeMethod(panel, &FindPanel::Drain, Qt::QueuedConnection);
    });
    {
      std::lock_guard<std::mutex> lock(job->mu);
      job->current = nullptr;
      job->visited_before += search.KeysVisited();
    }
    // A hive that cannot be read does not hide the others' matches.
    if (rc == ERROR_CANCELLED) {
      result = rc;
      break;
    }
    if (rc != ERROR_SUCCESS && result == ERROR_SUCCESS) result = rc;
  }
  for (const Top& top : job->tops)
    if (top.close && job->service) job->service->CloseKey(top.key);
  job->result = result;
  job->ended = true;
  QMetaObject::invokeMethod(panel, &FindPanel::Drain, Qt::QueuedConnection);
}

void FindPanel::Drain() {
  if (!job_) return;
  std::vector<SearchMatch> batch;
  {
    std::lock_guard<std::mutex> lock(job_->mu);
    batch.swap(job_->pending);
  }
  const bool ended = job_->ended;  // read after the swap: nothing is pending after the end
  if (ended && job_->thread.joinable()) {
    job_->thread.join();
    std::lock_guard<std::mutex> lock(job_->mu);
    for (SearchMatch& m : job_->pending) batch.push_back(std::move(m));
    job_->pending.clear();
  }
  if (!batch.empty()) {
    QList<QTreeWidgetItem*> items;
    for (SearchMatch& match : batch) {
      const bool value = match.kind != SearchMatch::Kind::kKey;
      QStringList texts{QString::fromStdString(match.key_path)};
      if (value) {
        texts << QString::fromStdString(match.value_name.empty() ? export_text::kDefaultName
                                                                 : match.value_name)
              << QString::fromStdString(RegTypeName(match.type))
              << QString::fromStdString(MatchDataText(match));
      }
      items << new QTreeWidgetItem(texts);
      results_.push_back(std::move(match));
    }
    list_->addTopLevelItems(items);
    emit resultsAdded();
  }
  ShowProgress();
  if (ended) {
    timer_.stop();
    cancel_->setEnabled(false);
    emit finished();
  }
}

void FindPanel::ShowProgress() { progress_->setText(Progress()); }

QString FindPanel::Progress() const {
  if (!job_) return QString();
  const QString found = QString("%1 found in %2 keys").arg(Count()).arg(job_->Visited());
  if (!job_->ended || job_->thread.joinable()) return "Searching: " + found + "...";
  if (job_->result == ERROR_CANCELLED) return "Cancelled: " + found + ".";
  if (job_->result != ERROR_SUCCESS)
    return QString("Stopped by error %1: ").arg(job_->result) + found + ".";
  return "Done: " + found + ".";
}

void FindPanel::OpenResult(int row) {
  if (row < 0 || row >= Count()) return;
  current_ = row;
  list_->setCurrentItem(list_->topLevelItem(row));
  emit openRequested(row);
}

bool FindPanel::OpenNext() {
  if (current_ + 1 >= Count()) {
    progress_->setText(Running() ? "The next match is not found yet."
                                 : "No more matches. " + Progress());
    return false;
  }
  OpenResult(current_ + 1);
  return true;
}

std::string MatchDataText(const SearchMatch& match, size_t limit) {
  std::string text;
  switch (match.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ: {
      std::string utf8 = Utf16ToUtf8(LeBytesToUtf16(match.data));
      if (match.type == REG_MULTI_SZ) {
        text = export_text::MultiStringText(utf8);
      } else {
        utf8 = utf8.substr(0, utf8.find('\0'));
        text = export_text::PrintableText(utf8);
      }
      break;
    }
    case REG_DWORD:
      if (match.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>(match.data[i]);
        text = std::to_string(n);
        break;
      }
      [[fallthrough]];
    default:
      text = export_text::BytesText(match.data.substr(0, limit / 3 + 1));
  }
  if (text.size() > limit) text = text.substr(0, limit) + "...";
  return text;
}

}  // namespace qvr::view
