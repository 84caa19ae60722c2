// The IP-to-Domain Converter page: single conversion both ways on the upper panel, the
// converter list and the batch conversion grid below.
#pragma once

#include "core/job_runner.h"
#include "core/target.h"
#include "core/widgets/tool_page.h"
#include "tools/convert/conversion.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace quendrix {

class BatchConversion;
class ExportDialog;
class GridView;
class PageHost;
class ResultTableModel;
class TargetListPanel;

class ConverterPage : public ToolPage {
    Q_OBJECT
  public:
    explicit ConverterPage(PageHost& host, QWidget* parent = nullptr);
    ~ConverterPage() override;

    // Name to address for the text of domain_edit (also Enter in the box).
    void nametoip_buttonClick();
    // The browser button: converts the host of the page open in the browser.
    void SpeedButton20Click();
    // Address to name for the text of ip_edit (also Enter in the box).
    void iptoname_buttonClick();
    // The address-to-name worker has ended.
    void ip_to_domain_active();

    // Batch conversion of the list: name to address, address to name.
    void B_nametoip_start_buttonClick();
    void b_iptoname_start_buttonClick();
    // Stop (both stop buttons).
    void B_nametoip_end_buttonClick();
    // The batch has ended or was stopped.
    void ip_button_active();
    // Export of the grid through the "Choose" dialog.
    void SpeedButton6Click();

    TargetListPanel* list() const { return m_list; }
    ResultTableModel* grid() const { return m_gridModel; }
    BatchConversion* batch() const { return m_batch.get(); }
    // The export dialog, made on first use and kept, so it keeps its choices.
    ExportDialog* exportDialog();

  private:
    void buildUpperPanel();
    void buildBatchPanel();
    void declareHandOffPoints();
    void startBatch(ConvertMode mode);
    void showCounters();
    // Fills the list with the addresses around the given one and converts them.
    void buildNeighbourhood(const std::array<int, 4>& octets);

    PageHost& m_host;
    // Single conversions, several at once: each hands over its answer.
    std::unique_ptr<JobRunner<Result<ResolvedHost>>> m_findIp;
    std::unique_ptr<JobRunner<QString>> m_findName;
    // Address-to-name jobs whose end gives the button back.
    std::vector<JobId> m_findNameEnabling;

    QLineEdit* domain_edit;
    QToolButton* SpeedButton20;
    QToolButton* nametoip_button;
    QPlainTextEdit* Memo1;
    QLineEdit* host_edit;
    QLineEdit* ip_edit;
    QToolButton* iptoname_button;
    QLineEdit* Edit1;
    QCheckBox* CheckBox3;
    QComboBox* ComboBox3;

    TargetListPanel* m_list;
    QToolButton* B_nametoip_start_button;
    QToolButton* B_nametoip_end_button;
    QToolButton* b_iptoname_start_button;
    QToolButton* SpeedButton5;
    QToolButton* SpeedButton6;
    QLabel* Label52;
    QLabel* Label18;
    QLabel* Label16;
    QLabel* Label17;
    ResultTableModel* m_gridModel;
    GridView* StringGrid2;
    ExportDialog* m_exportDialog = nullptr;
    // Declared last: its job reads the list and writes the grid, so it goes first.
    std::unique_ptr<BatchConversion> m_batch;
};

}  // namespace quendrix
