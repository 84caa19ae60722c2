// The Country Lookup page: the single look-up from Edit3 into Edit6, the country list with the
// batch look-up into StringGrid3 and its counters, and the country export dialog.
#pragma once

#include "core/widgets/tool_page.h"

#include <memory>

class QLabel;
class QLineEdit;
class QToolButton;

namespace quendrix {

class ExportDialog;
class GridView;
template <typename Row>
class JobRunner;
class PageHost;
class TargetListPanel;

namespace whereis {
class CountryBatch;
class CountryGridModel;
}  // namespace whereis

class CountryPage : public ToolPage {
    Q_OBJECT
  public:
    explicit CountryPage(PageHost& host, QWidget* parent = nullptr);
    ~CountryPage() override;

    // Single look-up of Edit3's text (also Enter in Edit3, the hand-off and the browser button).
    void SpeedButton9Click();
    // Batch look-up of the list.
    void whereis_startClick();
    void whereis_stopClick();
    // The batch worker has ended.
    void whereis_batch_active();
    // Shows the export dialog.
    void SpeedButton11Click();

    // The browser button: looks up the host of the page open in the browser.
    void SpeedButton24Click();

    // Other pages reach this one through its hand-off points only; these serve the tests.
    TargetListPanel* list() const { return m_list; }
    whereis::CountryGridModel* grid() const { return m_gridModel; }
    ExportDialog* exportDialog() const { return m_export; }
    // True while a batch that has not been stopped is working.
    bool batchRunning() const;
    whereis::CountryBatch* batch() const { return m_batch.get(); }

  private:
    void buildUpperPanel();
    void buildBatchPanel();
    void declareHandOffPoints();

    PageHost& m_host;
    // Single look-ups: each hands over its owner text.
    std::unique_ptr<JobRunner<QString>> m_single;

    QLineEdit* Edit3;
    QToolButton* SpeedButton24;
    QToolButton* SpeedButton9;
    QLineEdit* Edit6;

    TargetListPanel* m_list;
    QToolButton* whereis_start;
    QToolButton* whereis_stop;
    QToolButton* SpeedButton11;
    QLabel* Label56;
    QLabel* Label49;
    QLabel* Label51;
    whereis::CountryGridModel* m_gridModel;
    GridView* StringGrid3;
    ExportDialog* m_export;
    // Declared last: its job reads the list and writes the grid, so it goes first.
    std::unique_ptr<whereis::CountryBatch> m_batch;
};

}  // namespace quendrix
