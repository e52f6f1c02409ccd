// The properties window: its three pages and the signals the form designer listens to.
#include "app/dialogs/propertiesf.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/widgets/windowplacement.h"

namespace tavlo {

TPropertiesF::TPropertiesF(const FormPlacementStore& store, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), ini_(store) {
  setObjectName("PropertiesF");
  setWindowTitle("Properties");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  pages = new QTabWidget(this);
  pages->setObjectName("pages");
  layout->addWidget(pages);

  tabFields = new QWidget;
  tabFields->setObjectName("tabFields");
  auto* fieldsLayout = new QVBoxLayout(tabFields);
  fieldsLayout->setContentsMargins(6, 6, 6, 6);
  auto* fieldsHint = new QLabel("Field of the selected control:", tabFields);
  fieldsLayout->addWidget(fieldsHint);
  ListBox1 = new QListWidget(tabFields);
  ListBox1->setObjectName("ListBox1");
  fieldsHint->setBuddy(ListBox1);
  fieldsLayout->addWidget(ListBox1, 1);
  pages->addTab(tabFields, "Fields");
  connect(ListBox1, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { emit FieldClicked(item->text()); });
  // Enter on a field does what a click does, for those who use the keyboard.
  connect(ListBox1, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { emit FieldClicked(item->text()); });

  tabFont = new QWidget;
  tabFont->setObjectName("tabFont");
  auto* fontLayout = new QVBoxLayout(tabFont);
  fontLayout->setContentsMargins(12, 12, 12, 12);
  btnfont = new QPushButton("Selected Font", tabFont);
  btnfont->setObjectName("btnfont");
  btnfont->setMinimumHeight(96);
  btnfont->setToolTip("Choose the font of the selected control");
  fontLayout->addWidget(btnfont);
  fontLayout->addStretch(1);
  pages->addTab(tabFont, "Font");
  connect(btnfont, &QPushButton::clicked, this, &TPropertiesF::FontClicked);

  tabCaption = new QWidget;
  tabCaption->setObjectName("tabCaption");
  auto* captionLayout = new QVBoxLayout(tabCaption);
  captionLayout->setContentsMargins(6, 6, 6, 6);
  auto* captionHint = new QLabel("Text of the selected label:", tabCaption);
  captionLayout->addWidget(captionHint);
  txtcaption = new QLineEdit(tabCaption);
  txtcaption->setObjectName("txtcaption");
  captionHint->setBuddy(txtcaption);
  captionLayout->addWidget(txtcaption);
  captionLayout->addStretch(1);
  pages->addTab(tabCaption, "Caption");
  connect(txtcaption, &QLineEdit::textChanged, this, &TPropertiesF::CaptionChanged);

  SetButtonFont(font(), palette().color(QPalette::ButtonText));
  setGeometry(398, 193, 277, 370);
  LoadWidgetPlacement(*this, ini_, "PropertiesF");
}

void TPropertiesF::FormDestroy() {
  SaveWidgetPlacement(*this, ini_, "PropertiesF");
}

void TPropertiesF::SetFieldsPageVisible(bool visible) {
  pages->setTabVisible(IndexOf(tabFields), visible);
}

void TPropertiesF::SetCaptionPageVisible(bool visible) {
  pages->setTabVisible(IndexOf(tabCaption), visible);
}

bool TPropertiesF::FieldsPageVisible() const {
  return pages->isTabVisible(IndexOf(tabFields));
}

bool TPropertiesF::CaptionPageVisible() const {
  return pages->isTabVisible(IndexOf(tabCaption));
}

void TPropertiesF::ActivateFieldsPage() {
  pages->setCurrentWidget(tabFields);
}

void TPropertiesF::ActivateCaptionPage() {
  pages->setCurrentWidget(tabCaption);
}

void TPropertiesF::SetButtonFont(const QFont& font, const QColor& color) {
  btnfont->setFont(font);
  // A large rounded button that shows the font itself; the style sheet keeps the font given
  // here, since a sheet without a font rule does not override it.
  btnfont->setStyleSheet(QString("QPushButton#btnfont { border: 1px solid palette(mid);"
                                 " border-radius: 14px; padding: 8px; color: %1;"
                                 " background: palette(base); }"
                                 "QPushButton#btnfont:hover { border-color: palette(highlight); }"
                                 "QPushButton#btnfont:pressed { background: palette(button); }")
                             .arg(color.name()));
}

}  // namespace tavlo
