// The IP-to-Domain Converter page: single conversion both ways on the upper panel, the
// converter list and the batch conversion grid below.
#pragma once

#include "core/widgets/tool_page.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace quendrix {

class GridView;
class JobRunner;
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
    // Address to name for the text of ip_edit (also Enter in the box).
    void iptoname_buttonClick();
    // The address-to-name worker has ended.
    void ip_to_domain_active();

    TargetListPanel* list() const { return m_list; }
    ResultTableModel* grid() const { return m_gridModel; }

  private:
    void buildUpperPanel();
    void buildBatchPanel();

    PageHost& m_host;
    JobRunner* m_findIp;
    JobRunner* m_findName;

    QLineEdit* domain_edit;
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
};

}  // namespace quendrix
