#include "ui/SettingsDialog.h"

#include "organ/Console.h"
#include "organ/SettingsMenus.h"
#include "persist/ControlCsv.h"
#include "ui/ListSeparator.h"
#include "ui/SoundFontDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace corvinta::ui {

using namespace settings_menus;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
QString Q(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QTableWidget* MakeTable(QWidget* parent, const std::vector<std::pair<QString, int>>& columns)
{
    auto* table = new QTableWidget(parent);
    table->setColumnCount(static_cast<int>(columns.size()));
    QStringList headers;
    for (const auto& c : columns)
        headers << c.first;
    table->setHorizontalHeaderLabels(headers);
    for (int c = 0; c < static_cast<int>(columns.size()); ++c)
        table->setColumnWidth(c, columns[static_cast<size_t>(c)].second);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    return table;
}

void SetCell(QTableWidget& table, int row, int column, const std::string& text)
{
    auto* item = table.item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        table.setItem(row, column, item);
    }
    item->setText(Q(text));
}

// 0..127 in groups of `per`, each group a submenu named by its ends.
void AddNumberGroups(QMenu& menu, int per, const std::function<QString(int)>& name, const std::function<void(int)>& choose)
{
    for (int first = 0; first < 128; first += per) {
        const int last = std::min(127, first + per - 1);
        QMenu* group = menu.addMenu(name(first) + " - " + name(last));
        for (int v = first; v <= last; ++v)
            group->addAction(name(v), [choose, v] { choose(v); });
    }
}


} // namespace

SettingsDialog::SettingsDialog(const CConsole& console, IUserMessages& messages, QWidget* parent)
    : QDialog(parent), edit_(console), messages_(messages)
{
    setWindowTitle(QStringLiteral("Corvinta Settings"));
    setObjectName(QStringLiteral("CorvintaSettings"));
    pages_ = new QTabWidget(this);
    pages_->addTab(InputPage(), QStringLiteral("Input"));
    pages_->addTab(OutputPage(), QStringLiteral("Output"));
    pages_->addTab(SynthPage(), QStringLiteral("Fluidsynth Settings"));
    pages_->addTab(ControlsPage(corvinta::ControlPage::Expression), QStringLiteral("Expression"));
    pages_->addTab(ControlsPage(corvinta::ControlPage::Pistons), QStringLiteral("Pistons"));
    pages_->addTab(ControlsPage(corvinta::ControlPage::Stops), QStringLiteral("Stops"));
    pages_->setCurrentIndex(std::clamp(SettingsEdit::LastPage(), 0, pages_->count() - 1));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* box = new QVBoxLayout(this);
    box->addWidget(pages_);
    box->addWidget(buttons);
    resize(860, 620);
}

void SettingsDialog::accept()
{
    result_ = edit_.Confirm(messages_);
    if (result_)
        QDialog::accept();
}

// The page the dialog closes on is the one it opens on next time.
void SettingsDialog::done(int result)
{
    SettingsEdit::LastPage() = pages_->currentIndex();
    QDialog::done(result);
}

QWidget* SettingsDialog::InputPage()
{
    auto* page = new QWidget(this);
    available_ = new QListWidget(page);
    active_ = new QListWidget(page);
    for (QListWidget* list : {available_, active_}) {
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setSortingEnabled(true);
    }
    auto refillLists = [this] {
        available_->clear();
        active_->clear();
        const auto& active = edit_.ActiveInputs();
        for (size_t id = 0; id < edit_.InputDevices().size(); ++id) {
            auto* item = new QListWidgetItem(Q(edit_.InputDevices()[id]));
            item->setData(Qt::UserRole, int(id));
            (std::find(active.begin(), active.end(), id) != active.end() ? active_ : available_)->addItem(item);
        }
    };
    refillLists();
    auto* add = new QPushButton(QStringLiteral("Add>>"), page);
    auto* remove = new QPushButton(QStringLiteral("<< Delete"), page);
    connect(add, &QPushButton::clicked, this, [this, refillLists] {
        for (QListWidgetItem* item : available_->selectedItems())
            edit_.AddInputDevice(static_cast<uint16_t>(item->data(Qt::UserRole).toInt()));
        refillLists();
        FillInputs();
    });
    connect(remove, &QPushButton::clicked, this, [this, refillLists] {
        for (QListWidgetItem* item : active_->selectedItems())
            edit_.DeleteInputDevice(static_cast<uint16_t>(item->data(Qt::UserRole).toInt()));
        refillLists();
        FillInputs();
    });
    inputs_ = MakeTable(page, {{"Clavier", 80}, {"MIDI input device", 150}, {"Chan", 45}, {"Low", 35}, {"High", 35},
                               {"Trans", 45}, {"2nd Touch", 75}, {"Pres", 40}, {"Chan", 40}});
    inputs_->setObjectName(QStringLiteral("InputList"));
    OpenMenusOnRightClick(*inputs_);
    FillInputs();
    if (!edit_.InputsEnabled()) {
        inputs_->setEnabled(false);
        add->setEnabled(false);
        remove->setEnabled(false);
    }

    auto* grid = new QGridLayout(page);
    grid->addWidget(new QLabel(QStringLiteral("Available MIDI input devices:"), page), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Active MIDI input devices:"), page), 0, 2);
    grid->addWidget(available_, 1, 0, 2, 1);
    grid->addWidget(add, 1, 1);
    grid->addWidget(remove, 2, 1);
    grid->addWidget(active_, 1, 2, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Right-click to select MIDI input devices and channels:"), page), 3, 0, 1, 3);
    grid->addWidget(inputs_, 4, 0, 1, 3);
    return page;
}

void SettingsDialog::OpenMenusOnRightClick(QTableWidget& table)
{
    connect(&table, &QTableWidget::customContextMenuRequested, this, [this, &table](QPoint at) {
        const QModelIndex index = table.indexAt(at);
        if (QMenu* menu = index.isValid() ? CellMenu(table, index.row(), index.column()) : nullptr) {
            menu->exec(table.viewport()->mapToGlobal(at));
            menu->deleteLater();
        }
    });
}

void SettingsDialog::FillInputs()
{
    inputs_->setRowCount(edit_.InputRowCount());
    for (int r = 0; r < edit_.InputRowCount(); ++r)
        for (int c = 0; c < kInputColumns; ++c)
            SetCell(*inputs_, r, c, edit_.InputCell(r, c));
}

QWidget* SettingsDialog::OutputPage()
{
    auto* page = new QWidget(this);
    allOutputs_ = new QComboBox(page);
    allOutputs_->setObjectName(QStringLiteral("AllOutputs"));
    for (const std::string& name : edit_.OutputMenu())
        allOutputs_->addItem(Q(name));
    allOutputs_->setCurrentIndex(-1);
    connect(allOutputs_, &QComboBox::activated, this, [this](int index) {
        edit_.SetAllRankDevices(index);
        FillRanks();
    });
    ranks_ = MakeTable(page, {{"Rank", 100}, {"MIDI output device", 180}, {"Chan", 40}, {"Vol", 40}, {"Pan", 40},
                              {"Bank", 40}, {"Patch 1", 52}, {"Patch 2", 52}});
    ranks_->setObjectName(QStringLiteral("RankList"));
    OpenMenusOnRightClick(*ranks_);
    FillRanks();

    auto* modulation = new QRadioButton(QStringLiteral("Modulation controller"), page);
    auto* patch = new QRadioButton(QStringLiteral("Patch change"), page);
    const bool byModulation = edit_.Settings().console.tremoloMethod == uint8_t(TremoloMethod::ModulationController);
    (byModulation ? modulation : patch)->setChecked(true);
    connect(modulation, &QRadioButton::toggled, this, [this](bool on) {
        edit_.Settings().console.tremoloMethod = uint8_t(on ? TremoloMethod::ModulationController : TremoloMethod::PatchChange);
    });
    auto* merged = new QComboBox(page);
    merged->setObjectName(QStringLiteral("MergedOut"));
    const std::vector<std::string> outputs = edit_.OutputMenu();
    for (size_t i = 0; i + 1 < outputs.size(); ++i)
        merged->addItem(Q(outputs[i]));
    merged->addItem(Q(kNoMergedDevice));
    merged->setCurrentIndex(edit_.MergedDevice() >= 0 ? edit_.MergedDevice() : merged->count() - 1);
    connect(merged, &QComboBox::activated, this,
            [this, merged](int index) { edit_.SetMergedDevice(index == merged->count() - 1 ? -1 : index); });
    auto* configured = new QCheckBox(QStringLiteral("Use configured control values"), page);
    configured->setChecked(!edit_.useDefaultAssignments);
    connect(configured, &QCheckBox::toggled, this, [this](bool on) { edit_.useDefaultAssignments = !on; });
    // Without MIDI outputs only the device choices have nothing to offer.
    if (!edit_.OutputsEnabled()) {
        allOutputs_->setEnabled(false);
        merged->setEnabled(false);
    }

    auto* box = new QVBoxLayout(page);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Set all MIDI output devices:"), page));
    top->addWidget(allOutputs_, 1);
    box->addLayout(top);
    box->addWidget(ranks_, 1);
    box->addWidget(new QLabel(QStringLiteral("Right click individual entries to edit. Patch 1 is trem off. Patch 2 is trem on."), page));
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel(QStringLiteral("Tremolo method:"), page));
    bottom->addWidget(modulation);
    bottom->addWidget(patch);
    bottom->addStretch();
    bottom->addWidget(new QLabel(QStringLiteral("Select Merged Out device:"), page));
    bottom->addWidget(merged);
    box->addLayout(bottom);
    box->addWidget(configured);
    return page;
}

void SettingsDialog::FillRanks()
{
    ranks_->setRowCount(edit_.RankRowCount());
    for (int r = 0; r < edit_.RankRowCount(); ++r)
        for (int c = 0; c < kRankColumns; ++c)
            SetCell(*ranks_, r, c, edit_.RankCell(r, c));
}

QMenu* SettingsDialog::CellMenu(QTableWidget& table, int row, int column)
{
    auto* menu = new QMenu(&table);
    auto numbers = [menu](int per, std::function<void(int)> choose) {
        AddNumberGroups(*menu, per, [](int v) { return QString::number(v); }, std::move(choose));
    };
    if (&table == inputs_) {
        if (!edit_.InputCellEditable(row, column)) {
            delete menu;
            return nullptr;
        }
        auto set = [this, row, column](int value) {
            edit_.SetInputCell(row, column, value);
            FillInputs();
        };
        switch (column) {
        case kInputDevice: {
            const auto& active = edit_.ActiveInputs();
            for (size_t id = 0; id < edit_.InputDevices().size(); ++id) {
                QAction* a = menu->addAction(Q(edit_.InputDevices()[id]), [set, id] { set(int(id)); });
                a->setEnabled(std::find(active.begin(), active.end(), id) != active.end());
            }
            menu->addAction(QStringLiteral("Omni"), [set, this] { set(int(edit_.InputDevices().size())); });
            break;
        }
        case kInputChannel:
        case kInputPartnerChannel:
            for (int ch = 1; ch <= 16; ++ch)
                menu->addAction(QString::number(ch), [set, ch] { set(ch - 1); });
            break;
        case kInputLow:
        case kInputHigh:
            AddNumberGroups(*menu, kNotesPerColumn, [](int n) { return Q(NoteName(n)); }, set);
            break;
        case kInputTranspose:
            for (int t : kTranspositions)
                menu->addAction(QString::number(t), [set, t] { set(t); });
            break;
        case kInputMethod:
            for (int m = 0; m < 3; ++m)
                menu->addAction(Q(kSecondTouchMethods[static_cast<size_t>(m)]), [set, m] { set(m); });
            break;
        case kInputPressure: numbers(kNumbersPerColumn, set); break;
        default: delete menu; return nullptr;
        }
        return menu;
    }
    if (&table == ranks_) {
        if (column == kRankName || (column == kRankDevice && !edit_.OutputsEnabled())) {
            delete menu;
            return nullptr;
        }
        auto set = [this, row, column](int value) {
            edit_.SetRankCell(row, column, value);
            if (column == kRankDevice)
                allOutputs_->setCurrentIndex(-1);
            FillRanks();
        };
        switch (column) {
        case kRankDevice: {
            const auto outputs = edit_.OutputMenu();
            for (size_t i = 0; i < outputs.size(); ++i)
                menu->addAction(Q(outputs[i]), [set, i] { set(int(i)); });
            break;
        }
        case kRankChannel:
            for (int ch = 1; ch <= 16; ++ch)
                menu->addAction(QString::number(ch), [set, ch] { set(ch - 1); });
            // FluidSynth offers more channels than a MIDI device.
            if (edit_.FluidSynthChannels() > 16) {
                menu->addSeparator();
                for (int ch = 17; ch <= edit_.FluidSynthChannels(); ++ch)
                    menu->addAction(QString::number(ch), [set, ch] { set(ch - 1); });
            }
            break;
        case kRankVolume:
            for (int v = 16; v >= 1; --v)
                menu->addAction(QString::number(v), [set, v] { set(v); });
            break;
        case kRankPan:
            for (int p = -8; p <= 8; ++p)
                menu->addAction(Q(PanLabel(p)), [set, p] { set(p); });
            break;
        default: numbers(kNumbersPerColumn, set); break;
        }
        return menu;
    }
    for (int p = 0; p < 3; ++p) {
        if (&table != controls_[p])
            continue;
        const auto page = static_cast<corvinta::ControlPage>(p);
        const int group = page == corvinta::ControlPage::Stops ? stopGroup_->currentIndex() : 0;
        auto set = [this, page, group, row, column](int value) {
            edit_.SetControlCell(page, group, row, column, value);
            FillControls(page);
        };
        switch (edit_.ControlCellMenu(page, group, row, column)) {
        case ControlMenu::Divisions: {
            const std::vector<std::string> groups = edit_.StopGroups();
            for (int d = 0; d + 1 < static_cast<int>(groups.size()); ++d) {
                const std::string& name = groups[static_cast<size_t>(d)];
                menu->addAction(Q(name.substr(0, name.size() - 6)), [set, d] { set(d); }); // without " stops"
            }
            menu->addAction(Q(kAuxiliaryRow), [set] { set(kControlEntry); });
            break;
        }
        case ControlMenu::Numbers: numbers(kNumbersPerColumn, set); break;
        case ControlMenu::None: delete menu; return nullptr;
        }
        return menu;
    }
    delete menu;
    return nullptr;
}

QSlider* SettingsDialog::AddSlider(QGridLayout& grid, int row, const QString& label, int minimum, int maximum, int value,
                                   std::function<QString(int)> shown, std::function<void(int)> store)
{
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(minimum, maximum);
    slider->setValue(std::clamp(value, minimum, maximum));
    slider->setPageStep(0); // page clicks are ignored
    auto* field = new QLineEdit(shown(slider->value()), this);
    field->setReadOnly(true);
    field->setMaximumWidth(70);
    connect(slider, &QSlider::valueChanged, this, [field, shown, store](int v) {
        field->setText(shown(v));
        store(v);
    });
    grid.addWidget(new QLabel(label, this), row, 0);
    grid.addWidget(slider, row, 1);
    grid.addWidget(field, row, 2);
    return slider;
}

QWidget* SettingsDialog::SynthPage()
{
    auto* page = new QWidget(this);
    SynthSettings& s = edit_.Settings().synth;
    auto percent = [](double v) { return int(v * 100 + 0.1); };
    auto tenths = [](double v) { return int(v * 10 + 0.01); };
    auto number = [](int v) { return QString::number(v); };

    auto* general = new QGroupBox(QStringLiteral("General parameters"), page);
    auto* g = new QGridLayout(general);
    AddSlider(*g, 0, QStringLiteral("Master Gain, %:"), 0, 1000, int(s.gain * 100) * 10,
              [](int v) { return QString::number(v / 10.0, 'f', 1); }, [&s](int v) { s.gain = v / 1000.0; });
    auto* rate = new QComboBox(general);
    for (int r : {22050, 44100, 48000, 96000})
        rate->addItem(QString::number(r), r);
    const int rateIndex = rate->findData(int(s.sampleRate));
    // A rate not offered shows as 48000 but stays as it is until one is chosen.
    rate->setCurrentIndex(rateIndex >= 0 ? rateIndex : rate->findData(48000));
    connect(rate, &QComboBox::activated, this, [&s, rate](int) { s.sampleRate = rate->currentData().toInt(); });
    g->addWidget(new QLabel(QStringLiteral("Sample rate:"), general), 1, 0);
    g->addWidget(rate, 1, 1);
    AddSlider(*g, 2, QStringLiteral("Polyphony:"), 16, 4096, s.polyphony, number, [&s](int v) { s.polyphony = v; });
    AddSlider(*g, 3, QStringLiteral("Number of buffers:"), 2, 32, s.bufferCount, number, [&s](int v) { s.bufferCount = v; });
    AddSlider(*g, 4, QStringLiteral("Buffer size:"), 6, 13, int(std::lround(std::log2(std::max(1, s.bufferSize)))),
              [](int v) { return QString::number(1 << v); }, [&s](int v) { s.bufferSize = 1 << v; });

    auto* fontsBox = new QGroupBox(QStringLiteral("Loaded Soundfonts"), page);
    fonts_ = new QListWidget(fontsBox);
    fonts_->setObjectName(QStringLiteral("SoundFonts"));
    fonts_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FillSoundFonts();
    auto* load = new QPushButton(QStringLiteral("Load"), fontsBox);
    load->setObjectName(QStringLiteral("LoadSoundFont"));
    auto* unload = new QPushButton(QStringLiteral("Unload"), fontsBox);
    connect(load, &QPushButton::clicked, this, [this] {
        SoundFontDialog dialog(this);
        if (dialog.exec() == QDialog::Accepted) {
            edit_.AddSoundFont(dialog.Path(), dialog.BankOffset());
            FillSoundFonts();
        }
    });
    connect(unload, &QPushButton::clicked, this, [this] {
        std::vector<int> rows;
        for (QListWidgetItem* item : fonts_->selectedItems())
            rows.push_back(fonts_->row(item));
        edit_.RemoveSoundFonts(rows);
        FillSoundFonts();
    });
    auto* f = new QVBoxLayout(fontsBox);
    f->addWidget(fonts_);
    auto* fb = new QHBoxLayout;
    fb->addWidget(load);
    fb->addWidget(unload);
    f->addLayout(fb);

    auto* reverb = new QGroupBox(QStringLiteral("Reverberation"), page);
    reverb->setCheckable(true); // "On/Off": the bars follow it
    reverb->setChecked(s.reverbOn);
    connect(reverb, &QGroupBox::toggled, this, [&s](bool on) { s.reverbOn = on; });
    auto* r = new QGridLayout(reverb);
    AddSlider(*r, 0, QStringLiteral("Room size, %:"), 0, 100, percent(s.reverbRoomSize), number, [&s](int v) { s.reverbRoomSize = v / 100.0; });
    AddSlider(*r, 1, QStringLiteral("Damping, %:"), 0, 100, percent(s.reverbDamping), number, [&s](int v) { s.reverbDamping = v / 100.0; });
    AddSlider(*r, 2, QStringLiteral("Width, %:"), 0, 100, percent(s.reverbWidth), number, [&s](int v) { s.reverbWidth = v / 100.0; });

    auto* chorus = new QGroupBox(QStringLiteral("Chorus"), page);
    chorus->setCheckable(true);
    chorus->setChecked(s.chorusOn);
    connect(chorus, &QGroupBox::toggled, this, [&s](bool on) { s.chorusOn = on; });
    auto* c = new QGridLayout(chorus);
    auto* type = new QComboBox(chorus);
    type->addItems({QStringLiteral("Sine"), QStringLiteral("Triangle")});
    type->setCurrentIndex(std::clamp(s.chorusType, 0, 1));
    connect(type, &QComboBox::activated, this, [&s](int t) { s.chorusType = t; });
    c->addWidget(new QLabel(QStringLiteral("Type:"), chorus), 0, 0);
    c->addWidget(type, 0, 1);
    AddSlider(*c, 1, QStringLiteral("Thickness:"), 1, 12, s.chorusVoiceCount, number, [&s](int v) { s.chorusVoiceCount = v; });
    AddSlider(*c, 2, QStringLiteral("Level, %:"), 0, 300, percent(s.chorusLevel), number, [&s](int v) { s.chorusLevel = v / 100.0; });
    AddSlider(*c, 3, QStringLiteral("Speed, Hz:"), 0, 120, tenths(s.chorusSpeed),
              [](int v) { return QString::number(v / 10.0, 'f', 1); }, [&s](int v) { s.chorusSpeed = v / 10.0; });
    AddSlider(*c, 4, QStringLiteral("Depth, ms:"), 0, 500, tenths(s.chorusDepth),
              [](int v) { return QString::number(v / 10.0, 'f', 1); }, [&s](int v) { s.chorusDepth = v / 10.0; });

    auto* grid = new QGridLayout(page);
    grid->addWidget(general, 0, 0);
    grid->addWidget(fontsBox, 0, 1);
    grid->addWidget(reverb, 1, 0);
    grid->addWidget(chorus, 1, 1);
    return page;
}

void SettingsDialog::FillSoundFonts()
{
    fonts_->clear();
    for (int i = 0; i < static_cast<int>(edit_.Settings().soundFonts.size()); ++i)
        fonts_->addItem(Q(edit_.SoundFontText(i)));
}

void SettingsDialog::AddControlExchange(QVBoxLayout& box)
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Export and Import Expression, Piston and Stop Controls as a CSV file:"), this));
    auto* exportAll = new QPushButton(QStringLiteral("Export All Controls"), this);
    auto* importAll = new QPushButton(QStringLiteral("Import All Controls"), this);
    row->addWidget(exportAll);
    row->addWidget(importAll);
    box.addLayout(row);
    const QString filter = QStringLiteral("Control Files (*.csv);;All Files (*)");
    connect(exportAll, &QPushButton::clicked, this, [this, filter] {
        const QString file = QFileDialog::getSaveFileName(this, QString(), QDir::currentPath(), filter);
        if (!file.isEmpty())
            CControlCsv::Export(edit_.Controls(), file.toStdString(), ListSeparator(), messages_);
    });
    connect(importAll, &QPushButton::clicked, this, [this, filter] {
        const QString file = QFileDialog::getOpenFileName(this, QString(), QDir::currentPath(), filter);
        if (file.isEmpty() || !CControlCsv::Import(edit_.Controls(), file.toStdString(), ListSeparator(), messages_))
            return;
        edit_.MarkControlsChanged();
        for (int p = 0; p < 3; ++p)
            FillControls(static_cast<corvinta::ControlPage>(p));
    });
}

QWidget* SettingsDialog::ControlsPage(corvinta::ControlPage which)
{
    auto* page = new QWidget(this);
    std::vector<std::pair<QString, int>> columns;
    bool first = true;
    for (const std::string& header : SettingsEdit::ControlHeaders(which)) {
        columns.emplace_back(Q(header), first ? 110 : 45);
        first = false;
    }
    QTableWidget* table = MakeTable(page, columns);
    const int p = static_cast<int>(which);
    controls_[p] = table;
    table->setObjectName(QStringLiteral("ControlList%1").arg(p));
    OpenMenusOnRightClick(*table);
    auto* box = new QVBoxLayout(page);
    OrganSettings& settings = edit_.Settings();
    auto check = [&](const char* text, bool& value) {
        auto* box = new QCheckBox(QString::fromLatin1(text), page);
        box->setChecked(value);
        connect(box, &QCheckBox::toggled, this, [&value](bool on) { value = on; });
        return box;
    };
    switch (which) {
    case corvinta::ControlPage::Expression: {
        box->addWidget(table, 1);
        box->addWidget(new QLabel(QStringLiteral("Swell settings:"), page));
        box->addWidget(check("Use low-pass filter", settings.console.useLowpass));
        box->addWidget(check("Use single swell pedal", settings.console.useSingleSwell));
        box->addWidget(check("Use crescendo pedal", settings.console.useCrescendo));
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Swell Threshold:"), page));
        auto* threshold = new QLineEdit(Q(edit_.swellThresholdText), page);
        threshold->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), threshold));
        connect(threshold, &QLineEdit::textChanged, this, [this](const QString& t) { edit_.swellThresholdText = t.toStdString(); });
        row->addWidget(threshold);
        row->addStretch();
        box->addLayout(row);
        break;
    }
    case corvinta::ControlPage::Pistons: {
        box->addWidget(table, 1);
        auto* row = new QHBoxLayout;
        auto* enable = new QCheckBox(QStringLiteral("Enable piston sound"), page);
        auto* note = new QLineEdit(Q(edit_.pistonSoundText), page);
        note->setMaxLength(3);
        note->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), note));
        enable->setChecked(edit_.pistonSoundEnabled);
        note->setEnabled(edit_.pistonSoundEnabled);
        connect(enable, &QCheckBox::toggled, this, [this, note](bool on) {
            edit_.pistonSoundEnabled = on;
            note->setEnabled(on);
        });
        connect(note, &QLineEdit::textChanged, this, [this](const QString& t) { edit_.pistonSoundText = t.toStdString(); });
        row->addWidget(enable);
        row->addWidget(new QLabel(QStringLiteral("Piston sound note:"), page));
        row->addWidget(note);
        row->addStretch();
        box->addLayout(row);
        box->addWidget(check("Direct MIDI Mem Lvl Select", settings.console.bankSelectMemLevel));
        box->addWidget(check("Enable MIDI Panic", settings.console.enableMidiPanic));
        break;
    }
    case corvinta::ControlPage::Stops: {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Select division to edit stop controls:"), page));
        stopGroup_ = new QComboBox(page);
        for (const std::string& group : edit_.StopGroups())
            stopGroup_->addItem(Q(group));
        connect(stopGroup_, &QComboBox::currentIndexChanged, this, [this] { FillControls(corvinta::ControlPage::Stops); });
        row->addWidget(stopGroup_);
        row->addStretch();
        box->addLayout(row);
        box->addWidget(table, 1);
        box->addWidget(check("Modern Tibia Unification", settings.console.useTibiaUnification));
        break;
    }
    }
    AddControlExchange(*box);
    FillControls(which);
    return page;
}

void SettingsDialog::FillControls(corvinta::ControlPage which)
{
    QTableWidget* table = controls_[static_cast<int>(which)];
    const int group = which == corvinta::ControlPage::Stops && stopGroup_ ? stopGroup_->currentIndex() : 0;
    const int columns = static_cast<int>(SettingsEdit::ControlHeaders(which).size());
    table->setRowCount(edit_.ControlRowCount(which, group));
    for (int r = 0; r < table->rowCount(); ++r)
        for (int c = 0; c < columns; ++c)
            SetCell(*table, r, c, edit_.ControlCell(which, group, r, c));
}

} // namespace corvinta::ui
