// The window's form, built on a plain QWidget: widget tree, layouts, texts,
// ranges and the states the window starts in.

#include "ui_widget.h"

#include "protocol/commands.h"
#include "protocol/config_block.h"
#include "model/controller_thread.h"
#include "tools/sim/sim_backend.h"
#include "translations/translation.h"
#include "ui/form_setup.h"
#include "ui/status_line.h"

#include <QMetaEnum>
#include <QMetaProperty>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleOption>
#include <QtTest>
#include <QXmlStreamReader>

namespace {

// A terminal text of the hot keys that the status line shows as well.
const char NO_HOT_KEYS[] = "no system-wide hot keys on this display server; set the brightness in the window or "
                           "from the tray icon instead";

// One widget, layout or spacer item of the form. A spacer has no objectName:
// it is named here "<layout>#<item>", after the layout position it fills.
// `parent` is the parent widget; for a layout, the widget it is installed on
// or the layout it is nested in. Layouts place every widget but the window.
struct Item
{
    QString name;
    QString cls;
    QString parent;
    QString props; // "property=value ..." as propertyText() renders them
};

// Sliders step by about 1 % of the scale with the arrow keys, 10 % a page.
const QString PWM_RANGE = QStringLiteral("minimum=0 maximum=%1 value=0 singleStep=6 pageStep=56").arg(PWM_FULL_SCALE);
const QString LIGHT_RANGE = QStringLiteral("minimum=0 maximum=%1 value=0").arg(LIGHT_FULL_SCALE);
const QString BYTE_RANGE = QStringLiteral("minimum=0 maximum=255 value=0");
// Read-outs are out of the Tab chain.
const QString READ_OUT = QStringLiteral("readOnly=true cursor=ArrowCursor focusPolicy=NoFocus");
const QString H_SPACER = QStringLiteral("size=40x20 policy=Expanding/Minimum");
const QString H_GAP = QStringLiteral("size=6x20 policy=Fixed/Minimum");

QString point(int n, const char *role)
{
    return QStringLiteral("auto_%1_%2").arg(n).arg(QLatin1String(role));
}

// The whole form in creation order.
QList<Item> items()
{
    QList<Item> list{
        {"window_layout", "QVBoxLayout", "Widget", ""},
        {"configuration_frame", "QFrame", "Widget", "ownEnabled=false frameShape=StyledPanel frameShadow=Raised"},
        {"frame_layout", "QHBoxLayout", "configuration_frame", ""},
        {"side_layout", "QVBoxLayout", "frame_layout", ""},
        {"side_layout#2", "QSpacerItem", "side_layout", "size=20x20 policy=Minimum/Fixed"},
        {"side_layout#5", "QSpacerItem", "side_layout", "size=20x40 policy=Minimum/Expanding"},
        {"auto_groupBox", "QGroupBox", "configuration_frame", "checkable=false"},
        {"auto_layout", "QVBoxLayout", "auto_groupBox", ""},
        {"curve_layout", "QGridLayout", "auto_layout", ""},
        {"settings_layout", "QVBoxLayout", "auto_layout", ""},
        {"step_delay_layout", "QHBoxLayout", "settings_layout", ""},
        {"step_delay_layout#4", "QSpacerItem", "step_delay_layout", H_GAP},
        {"step_delay_layout#6", "QSpacerItem", "step_delay_layout", H_SPACER},
        {"slide_delay_layout", "QHBoxLayout", "settings_layout", ""},
        {"slide_delay_layout#3", "QSpacerItem", "slide_delay_layout", H_GAP},
        {"slide_delay_layout#6", "QSpacerItem", "slide_delay_layout", H_SPACER},
        {"label_16", "QLabel", "auto_groupBox", "buddy=auto_1_verticalSlider"},
        {"label_17", "QLabel", "auto_groupBox", "buddy=auto_1_light_spinBox"},
    };
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        list << Item{point(n, "lineEdit"), "QLineEdit", "auto_groupBox", READ_OUT}
             << Item{point(n, "verticalSlider"), "QSlider", "auto_groupBox",
                     "sizePolicy=Minimum/Expanding orientation=Vertical " + PWM_RANGE}
             << Item{point(n, "light_spinBox"), "QSpinBox", "auto_groupBox", LIGHT_RANGE};
    }
    list << Item{"label_18", "QLabel", "auto_groupBox", "buddy=pwm_step_delay_spinBox"}
         << Item{"pwm_step_delay_spinBox", "QSpinBox", "auto_groupBox", BYTE_RANGE}
         << Item{"label_2", "QLabel", "auto_groupBox", "buddy=none"}
         << Item{"pwm_smooth_alg_checkBox", "QCheckBox", "auto_groupBox", "checked=false"}
         << Item{"label_19", "QLabel", "auto_groupBox", "buddy=pwm_slide_delay_spinBox"}
         << Item{"pwm_slide_delay_spinBox", "QSpinBox", "auto_groupBox", BYTE_RANGE}
         << Item{"label_20", "QLabel", "auto_groupBox", "buddy=avrg_light_num_spinBox"}
         << Item{"avrg_light_num_spinBox", "QSpinBox", "auto_groupBox", "minimum=1 maximum=50 value=1"}
         << Item{"apply_pushButton", "QPushButton", "auto_groupBox", "ownEnabled=false"}
         << Item{"groupBox_2", "QGroupBox", "configuration_frame", "checkable=false"}
         << Item{"current_layout", "QVBoxLayout", "groupBox_2", ""}
         << Item{"light_reading_layout", "QHBoxLayout", "current_layout", ""}
         << Item{"light_reading_layout#1", "QSpacerItem", "light_reading_layout", H_SPACER}
         << Item{"brightness_reading_layout", "QHBoxLayout", "current_layout", ""}
         << Item{"brightness_reading_layout#1", "QSpacerItem", "brightness_reading_layout", H_SPACER}
         << Item{"label_8", "QLabel", "groupBox_2", "buddy=none"}
         << Item{"vAKB_lineEdit", "QLineEdit", "groupBox_2", READ_OUT}
         << Item{"label_15", "QLabel", "groupBox_2", "buddy=none"}
         << Item{"brightness_lineEdit", "QLineEdit", "groupBox_2", READ_OUT}
         << Item{"groupBox_5", "QGroupBox", "configuration_frame", "checkable=true checked=false"}
         << Item{"manual_layout", "QVBoxLayout", "groupBox_5", ""}
         << Item{"pwm_width_horizontalSlider", "QSlider", "groupBox_5",
                 "orientation=Horizontal tickPosition=TicksBothSides " + PWM_RANGE}
         << Item{"curve_pushButton", "QPushButton", "configuration_frame", ""}
         << Item{"status_label", "QLabel", "Widget", "textFormat=PlainText wordWrap=true buddy=none"};
    return list;
}

bool isSpacer(const QString &cls)
{
    return cls == QLatin1String("QSpacerItem");
}

// The form's texts, in the order retranslateUi sets them. The labels and
// check boxes carry their mnemonics ('&'); the input controls carry tool tips
// with their ranges and units.
struct Text
{
    QString name;
    QByteArray property;
    QString text;
};
QList<Text> formTexts()
{
    const QString curveTip = "Яркость этой точки кривой: 0–100 % (клавиши: шаг 1 %, PgUp/PgDn — 10 %)";
    const QString lightTip = "Освещенность, начиная с которой действует яркость этой точки: 0–1023 (показание датчика)";
    const QString stepTip = "Задержка переключения яркости: 0–255 с";
    QList<Text> list{
        {"Widget", "windowTitle", "Morvane PWM beta6"},
        {"auto_groupBox", "title", "&Автоматическая регулировка"},
        {"label_16", "text", "Я&ркость :"},
        {"label_17", "text", "&Освещенность :"},
    };
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n)
        list << Text{point(n, "verticalSlider"), "toolTip", curveTip} << Text{point(n, "light_spinBox"), "toolTip", lightTip};
    list << Text{"label_18", "toolTip", stepTip} << Text{"label_18", "text", "&Задержка переключения :"}
         << Text{"pwm_step_delay_spinBox", "toolTip", stepTip}
         << Text{"label_2", "text", QStringLiteral("\u0441")} // Cyrillic es, the seconds unit
         << Text{"pwm_smooth_alg_checkBox", "toolTip", "Альтернативный алгоритм"}
         << Text{"pwm_smooth_alg_checkBox", "text", "&Линейная интерполяция"}
         << Text{"label_19", "toolTip", "Время изменения яркости на 1%"}
         << Text{"label_19", "text", "&Плавность перехода :"}
         << Text{"pwm_slide_delay_spinBox", "toolTip", "Время изменения яркости на 1%: 0–255"}
         << Text{"label_20", "toolTip", "Количество элементов выборки"}
         << Text{"label_20", "text", "&Сглаживание освещенности :"}
         << Text{"avrg_light_num_spinBox", "toolTip",
                 "Количество элементов выборки: 1–50 измерений освещенности усредняются"}
         << Text{"apply_pushButton", "toolTip", "Записать настройки в контроллер (Enter)"}
         << Text{"apply_pushButton", "text", "При&менить"}
         << Text{"groupBox_2", "title", "Текущие параметры"}
         << Text{"label_8", "text", "Освещенность :"}
         << Text{"label_15", "text", "Яркость :"}
         << Text{"groupBox_5", "toolTip",
                 "Ручная регулировка яркости; горячие клавиши Ctrl+Alt+P — ярче, Ctrl+Alt+M — темнее"}
         << Text{"groupBox_5", "title", "&Ручная регулировка"}
         << Text{"pwm_width_horizontalSlider", "toolTip",
                 "Яркость при ручной регулировке: 0–100 % (клавиши: шаг 1 %, PgUp/PgDn — 10 %; "
                 "Ctrl+Alt+P / Ctrl+Alt+M — 3 %)"}
         << Text{"curve_pushButton", "toolTip",
                 "Кривая яркости в отдельном окне: точки можно перетаскивать, видно, где контроллер сейчас"}
         << Text{"curve_pushButton", "text", "&Кривая…"};
    return list;
}

// The form built on a window of its own, as the main window builds it.
struct Form
{
    QWidget window;
    Ui::Widget ui;

    explicit Form(const QString &windowName = {})
    {
        window.setObjectName(windowName);
        ui.setupUi(&window);
        finish_form_setup(ui, &window);
    }
    QObject *object(const QString &name)
    {
        return name == window.objectName() ? &window : window.findChild<QObject *>(name);
    }
    template<class T> T *get(const QString &name) { return qobject_cast<T *>(object(name)); }
};

QString enumKey(const QMetaEnum &meta, int value)
{
    return QString::fromLatin1(meta.valueToKey(value));
}

QString sizeText(QSize size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

QString policyText(const QSizePolicy &policy)
{
    const QMetaEnum meta = QMetaEnum::fromType<QSizePolicy::Policy>();
    return enumKey(meta, policy.horizontalPolicy()) + '/' + enumKey(meta, policy.verticalPolicy());
}

// A property of a widget as the table writes it. "ownEnabled" is the
// widget's own enabled flag, whatever its parents' states.
QString propertyText(QObject *object, const QString &key)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (key == QLatin1String("buddy")) {
        QWidget *buddy = qobject_cast<QLabel *>(object)->buddy();
        return buddy ? buddy->objectName() : "none";
    }
    if (key == QLatin1String("ownEnabled"))
        return widget->testAttribute(Qt::WA_ForceDisabled) ? "false" : "true";
    if (key == QLatin1String("cursor")) {
        return widget->testAttribute(Qt::WA_SetCursor)
                   ? enumKey(QMetaEnum::fromType<Qt::CursorShape>(), widget->cursor().shape())
                   : "unset";
    }
    const QMetaObject *meta = object->metaObject();
    const QMetaProperty property = meta->property(meta->indexOfProperty(key.toLatin1()));
    if (!property.isValid())
        return "<no property>";
    const QVariant value = property.read(object);
    if (property.isEnumType())
        return enumKey(property.enumerator(), value.toInt());
    if (value.metaType() == QMetaType::fromType<QSize>())
        return sizeText(value.toSize());
    if (value.metaType() == QMetaType::fromType<QSizePolicy>())
        return policyText(value.value<QSizePolicy>());
    return value.toString();
}

// Every named widget and layout below `object`, by parent, in the order of
// the parent's children (which is the order of creation). Qt's own inner
// widgets (objectName "qt_...") are not part of the form.
void collectChildren(QObject *object, QHash<QString, QStringList> &children)
{
    for (QObject *child : object->children()) {
        const bool formItem = child->isWidgetType() || qobject_cast<QLayout *>(child);
        if (!formItem || child->objectName().startsWith(QLatin1String("qt_")))
            continue;
        children[object->objectName()] << child->objectName();
        collectChildren(child, children);
    }
}

} // namespace

class TestForm : public QObject
{
    Q_OBJECT

private slots:
    void window_data();
    void window();
    void tree_data();
    void tree();
    void childrenInCreationOrder();
    void layouts_data();
    void layouts();
    void texts_data();
    void texts();
    void noOtherTexts();
    void retranslateKeepsState();
    void clamping_data();
    void clamping();
    void initialEnabledStates();
    void manualSlider_data();
    void manualSlider();
    void arrangement();
    void nothingCut_data();
    void nothingCut();
    void tabChain_data();
    void tabChain();
    void translation_data();
    void translation();
    void cataloguesComplete_data();
    void cataloguesComplete();
    void buildReachesNoSlot();
};

void TestForm::window_data()
{
    QTest::addColumn<QString>("givenName");
    QTest::addColumn<QString>("name");

    QTest::newRow("unnamed window gets Widget") << QString() << "Widget";
    QTest::newRow("named window keeps its name") << "main_window" << "main_window";
}

void TestForm::window()
{
    QFETCH(QString, givenName);
    QFETCH(QString, name);

    Form form(givenName);
    QCOMPARE(form.window.objectName(), name);
    QCOMPARE(form.window.size(), QSize(774, 300));
    // The layout sets the window's minimum size, so it cannot be shrunk to
    // hide Apply; at the default font the form fits the original size.
    form.window.layout()->activate();
    QCOMPARE(form.window.minimumSize(), form.window.layout()->minimumSize());
    QVERIFY(form.window.minimumWidth() <= 774 && form.window.minimumHeight() <= 300);
    QCOMPARE(form.window.size(), QSize(774, 300));
    QCOMPARE(form.window.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

void TestForm::tree_data()
{
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("props");

    const QList<Item> list = items();
    QCOMPARE(list.size(), 63);
    for (const Item &item : list)
        QTest::newRow(qPrintable(item.name)) << item.cls << item.parent << item.props;
}

void TestForm::tree()
{
    QFETCH(QString, cls);
    QFETCH(QString, parent);
    QFETCH(QString, props);
    const QString name = QString::fromLatin1(QTest::currentDataTag());
    const QStringList expected = props.split(' ', Qt::SkipEmptyParts);
    Form form;

    if (isSpacer(cls)) {
        const QStringList place = name.split('#');
        auto *layout = form.get<QLayout>(place[0]);
        QVERIFY(layout);
        QLayoutItem *item = layout->itemAt(place[1].toInt() - 1);
        QVERIFY(item && item->spacerItem());
        const QStringList actual{"size=" + sizeText(item->sizeHint()),
                                 "policy=" + policyText(item->spacerItem()->sizePolicy())};
        QCOMPARE(actual, expected);
        return;
    }

    QObject *object = form.object(name);
    QVERIFY2(object, qPrintable(name + " is missing"));
    QCOMPARE(QString::fromLatin1(object->metaObject()->className()), cls);

    if (auto *layout = qobject_cast<QLayout *>(object)) {
        // Installed on a container widget, or nested in another layout.
        QCOMPARE(layout->parent()->objectName(), parent);
        if (QWidget *container = layout->parentWidget(); container && layout->parent() == container)
            QCOMPARE(container->layout(), layout);
    } else {
        auto *widget = static_cast<QWidget *>(object);
        QCOMPARE(widget->parentWidget()->objectName(), parent);
    }

    for (const QString &entry : expected) {
        const QString key = entry.section('=', 0, 0);
        QCOMPARE(key + '=' + propertyText(object, key), entry);
    }
}

void TestForm::childrenInCreationOrder()
{
    QHash<QString, QStringList> expected;
    for (const Item &item : items()) {
        if (!isSpacer(item.cls))
            expected[item.parent] << item.name;
    }
    Form form;
    QHash<QString, QStringList> actual;
    collectChildren(&form.window, actual);

    QStringList parents = actual.keys();
    QStringList expectedParents = expected.keys();
    parents.sort();
    expectedParents.sort();
    QCOMPARE(parents, expectedParents);
    for (const QString &parent : expectedParents)
        QCOMPARE(actual.value(parent), expected.value(parent));
}

void TestForm::layouts_data()
{
    QTest::addColumn<int>("spacing");
    QTest::addColumn<QMargins>("margins");
    // "~" is a spacer item; "@row,column" a grid cell; " stretch=N" and
    // " centred" (horizontally) only where they are set.
    QTest::addColumn<QStringList>("content");

    const QMargins none;
    QTest::newRow("window_layout") << 6 << QMargins(8, 8, 8, 8) << QStringList{"configuration_frame", "status_label"};
    // The curve editor left, current values and manual regulation right.
    QTest::newRow("frame_layout") << 6 << QMargins(4, 4, 6, 6)
                                  << QStringList{"auto_groupBox stretch=1", "side_layout"};
    QTest::newRow("side_layout") << 6 << none
                                 << QStringList{"groupBox_2 centred", "~", "groupBox_5", "curve_pushButton", "~"};
    QTest::newRow("auto_layout") << 6 << QMargins(6, 6, 6, 6) << QStringList{"curve_layout", "settings_layout"};
    // Captions in column 0, point N in column N: read-out, slider, light.
    QStringList curve{"label_16@0,0", "label_17@2,0"};
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        curve << QStringLiteral("%1@0,%2").arg(point(n, "lineEdit")).arg(n)
              << QStringLiteral("%1@1,%2 centred").arg(point(n, "verticalSlider")).arg(n)
              << QStringLiteral("%1@2,%2").arg(point(n, "light_spinBox")).arg(n);
    }
    QTest::newRow("curve_layout") << -1 << none << curve;
    QTest::newRow("settings_layout") << 4 << none << QStringList{"step_delay_layout", "slide_delay_layout"};
    QTest::newRow("step_delay_layout") << 6 << none
                                       << QStringList{"label_18", "pwm_step_delay_spinBox", "label_2", "~",
                                                      "pwm_smooth_alg_checkBox", "~"};
    // The sample count sits with the other automatic-regulation settings.
    QTest::newRow("slide_delay_layout") << 6 << none
                                        << QStringList{"label_19", "pwm_slide_delay_spinBox", "~", "label_20",
                                                       "avrg_light_num_spinBox", "~", "apply_pushButton"};
    QTest::newRow("current_layout") << 6 << QMargins(9, 6, 9, 6)
                                    << QStringList{"light_reading_layout", "brightness_reading_layout"};
    QTest::newRow("light_reading_layout") << 6 << none << QStringList{"~", "label_8", "vAKB_lineEdit"};
    QTest::newRow("brightness_reading_layout") << 6 << none << QStringList{"~", "label_15", "brightness_lineEdit"};
    QTest::newRow("manual_layout") << 6 << QMargins(9, 6, 9, 6) << QStringList{"pwm_width_horizontalSlider"};
}

void TestForm::layouts()
{
    QFETCH(int, spacing);
    QFETCH(QMargins, margins);
    QFETCH(QStringList, content);

    Form form;
    auto *layout = form.get<QLayout>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(layout);
    QCOMPARE(layout->spacing(), spacing);
    QCOMPARE(layout->contentsMargins(), margins);

    auto *box = qobject_cast<QBoxLayout *>(layout);
    auto *grid = qobject_cast<QGridLayout *>(layout);
    QStringList actual;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        QString entry = item->spacerItem() ? QStringLiteral("~")
                        : item->widget()   ? item->widget()->objectName()
                                           : item->layout()->objectName();
        if (grid) {
            int row, column, rows, columns;
            grid->getItemPosition(i, &row, &column, &rows, &columns);
            QCOMPARE(rows * columns, 1);
            entry += QStringLiteral("@%1,%2").arg(row).arg(column);
        }
        if (box && box->stretch(i) != 0)
            entry += QStringLiteral(" stretch=%1").arg(box->stretch(i));
        if (item->alignment() == Qt::AlignHCenter)
            entry += QStringLiteral(" centred");
        else
            QCOMPARE(item->alignment(), Qt::Alignment());
        actual << entry;
    }
    QCOMPARE(actual, content);
}

void TestForm::texts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QString>("text");

    // Each text as setupUi leaves it, and as retranslateUi restores it after
    // it was overwritten.
    for (const char *when : {"setup", "retranslated"}) {
        for (const Text &t : formTexts())
            QTest::addRow("%s %s %s", when, qPrintable(t.name), t.property.constData()) << t.name << t.property << t.text;
    }
}

void TestForm::texts()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, property);
    QFETCH(QString, text);

    Form form;
    QObject *object = form.object(name);
    QVERIFY(object);
    if (QByteArray(QTest::currentDataTag()).startsWith("retranslated")) {
        object->setProperty(property, "stale");
        form.ui.retranslateUi(&form.window);
    }
    QCOMPARE(object->property(property).toString(), text);
}

// Only the listed texts of the form are set; every other text, title and
// tool tip is empty, the line edits and the status line included. A spin box's text is its value.
void TestForm::noOtherTexts()
{
    QSet<QPair<QString, QByteArray>> listed;
    for (const Text &t : formTexts())
        listed.insert({t.name, t.property});

    Form form;
    QList<QWidget *> widgets = form.window.findChildren<QWidget *>();
    widgets << &form.window;
    for (QWidget *widget : widgets) {
        if (widget->objectName().startsWith(QLatin1String("qt_")))
            continue;
        for (const QByteArray property : {"windowTitle", "title", "text", "toolTip"}) {
            if (listed.contains({widget->objectName(), property}) || widget->metaObject()->indexOfProperty(property) < 0
                || (property == "text" && qobject_cast<QAbstractSpinBox *>(widget))
                || (property == "windowTitle" && widget != &form.window))
                continue;
            QVERIFY2(widget->property(property).toString().isEmpty(),
                     qPrintable(widget->objectName() + ' ' + property));
        }
    }
}

// A language change re-sets the texts and nothing else.
void TestForm::retranslateKeepsState()
{
    Form form;
    form.ui.configuration_frame->setEnabled(true);
    form.ui.groupBox_5->setChecked(true);
    form.ui.pwm_width_horizontalSlider->setValue(282);
    form.ui.auto_4_light_spinBox->setValue(700);
    form.ui.auto_4_lineEdit->setText("50%");
    form.ui.pwm_smooth_alg_checkBox->setChecked(true);

    form.ui.retranslateUi(&form.window);
    QVERIFY(form.ui.configuration_frame->isEnabled());
    QVERIFY(form.ui.groupBox_5->isChecked());
    QVERIFY(form.ui.pwm_width_horizontalSlider->isEnabled());
    QCOMPARE(form.ui.pwm_width_horizontalSlider->value(), 282);
    QCOMPARE(form.ui.auto_4_light_spinBox->value(), 700);
    QCOMPARE(form.ui.auto_4_lineEdit->text(), QStringLiteral("50%"));
    QVERIFY(form.ui.pwm_smooth_alg_checkBox->isChecked());
    QCOMPARE(form.window.size(), QSize(774, 300));
}

void TestForm::clamping_data()
{
    QTest::addColumn<int>("below");
    QTest::addColumn<int>("above");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");

    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        QTest::newRow(qPrintable(point(n, "light_spinBox"))) << -1 << 1024 << 0 << LIGHT_FULL_SCALE;
        QTest::newRow(qPrintable(point(n, "verticalSlider"))) << -1 << 600 << 0 << PWM_FULL_SCALE;
    }
    QTest::newRow("pwm_width_horizontalSlider") << -17 << 600 << 0 << PWM_FULL_SCALE;
    QTest::newRow("pwm_step_delay_spinBox") << -1 << 300 << 0 << 255;
    QTest::newRow("pwm_slide_delay_spinBox") << -1 << 300 << 0 << 255;
    QTest::newRow("avrg_light_num_spinBox") << 0 << 51 << 1 << 50;
}

void TestForm::clamping()
{
    QFETCH(int, below);
    QFETCH(int, above);
    QFETCH(int, minimum);
    QFETCH(int, maximum);

    Form form;
    QObject *control = form.object(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(control);
    for (const auto &[given, kept] : {std::pair{above, maximum}, {maximum, maximum}, {below, minimum},
                                      {minimum, minimum}, {minimum + 1, minimum + 1}}) {
        control->setProperty("value", given);
        QCOMPARE(control->property("value").toInt(), kept);
    }
}

void TestForm::initialEnabledStates()
{
    Form form;
    auto *frame = form.ui.configuration_frame;
    const QList<QWidget *> inside = frame->findChildren<QWidget *>();
    for (QWidget *widget : inside)
        QVERIFY2(!widget->isEnabled(), qPrintable(widget->objectName()));
    QCOMPARE(form.ui.avrg_light_num_spinBox->value(), 1);
    // The status line speaks loudest while the frame is disabled: it is not in it.
    QVERIFY(form.ui.status_label->isEnabled());

    // Once a controller is connected the frame opens up: everything but Apply
    // (nothing edited yet) and the manual slider (its group is unchecked).
    frame->setEnabled(true);
    const QSet<QObject *> stillDisabled{form.ui.apply_pushButton, form.ui.pwm_width_horizontalSlider};
    for (QWidget *widget : inside) {
        if (!widget->objectName().startsWith(QLatin1String("qt_")))
            QCOMPARE(widget->isEnabled(), !stillDisabled.contains(widget));
    }
    // The sample count is the frame's like every other setting: nothing is
    // editable without a controller.
    frame->setEnabled(false);
    QVERIFY(!form.ui.avrg_light_num_spinBox->isEnabled());
}

void TestForm::manualSlider_data()
{
    QTest::addColumn<QStringList>("steps"); // frame on/off, group check/uncheck
    QTest::addColumn<bool>("sliderEnabled");

    QTest::newRow("frame enabled, group unchecked") << QStringList{"frame on"} << false;
    QTest::newRow("checking the group") << QStringList{"frame on", "check"} << true;
    QTest::newRow("unchecking it again") << QStringList{"frame on", "check", "uncheck"} << false;
    QTest::newRow("checked in a disabled frame") << QStringList{"check"} << false;
    QTest::newRow("checked, then frame enabled") << QStringList{"check", "frame on"} << true;
    QTest::newRow("unchecked while frame disabled")
        << QStringList{"frame on", "check", "frame off", "uncheck", "frame on"} << false;
    QTest::newRow("frame disabled under a checked group")
        << QStringList{"frame on", "check", "frame off"} << false;
}

void TestForm::manualSlider()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, sliderEnabled);

    Form form;
    for (const QString &step : steps) {
        if (step.startsWith(QLatin1String("frame")))
            form.ui.configuration_frame->setEnabled(step.endsWith(QLatin1String("on")));
        else
            form.ui.groupBox_5->setChecked(step == QLatin1String("check"));
    }
    QCOMPARE(form.ui.pwm_width_horizontalSlider->isEnabled(), sliderEnabled);
}

// Where the parts sit at the default font and the window's initial size:
// everything inside the window, the sample count among the automatic
// settings, and the curve's button between manual regulation and the
// status line.
void TestForm::arrangement()
{
    Form form;
    form.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form.window));
    QCOMPARE(form.window.size(), QSize(774, 300));
    const auto place = [&form](QWidget *widget) { return QRect(widget->mapTo(&form.window, QPoint()), widget->size()); };

    for (QWidget *widget : form.window.findChildren<QWidget *>())
        QVERIFY2(form.window.rect().contains(place(widget)), qPrintable(widget->objectName()));
    const QRect curve = place(form.ui.auto_groupBox);
    const QRect current = place(form.ui.groupBox_2);
    const QRect manual = place(form.ui.groupBox_5);
    QVERIFY(curve.right() < current.left() && curve.right() < manual.left());
    QVERIFY(current.bottom() < manual.top());
    QVERIFY(curve.contains(place(form.ui.avrg_light_num_spinBox)));
    const QRect button = place(form.ui.curve_pushButton);
    QVERIFY(manual.bottom() < button.top() && button.bottom() < place(form.ui.status_label).top());
}

namespace {

// Each read-out and spin box showing the widest text it can show.
void showWidestTexts(Ui::Widget &ui)
{
    for (QLineEdit *percent : ui.auto_groupBox->findChildren<QLineEdit *>(QRegularExpression("^auto_\\d_lineEdit$")))
        percent->setText(QStringLiteral("100%"));
    ui.brightness_lineEdit->setText(QStringLiteral("100%"));
    ui.vAKB_lineEdit->setText(QString::number(LIGHT_FULL_SCALE));
    for (QSpinBox *spin : ui.configuration_frame->findChildren<QSpinBox *>())
        spin->setValue(spin->maximum());
}

// The texts that do not fit their widget, as "name: text size in room size".
// The room is measured the way the style draws: a label's contents, a check
// box's or button's contents beside the indicator, a group box's title, a
// line edit's text area (spin boxes show theirs in an inner line edit).
QStringList cutTexts(QWidget *window)
{
    QStringList cut;
    for (QWidget *widget : window->findChildren<QWidget *>()) {
        QStyle *style = widget->style();
        const QFontMetrics metrics = widget->fontMetrics();
        QString text;
        QRect room;
        QSize need;
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            text = label->text();
            room = label->contentsRect();
            need = label->wordWrap() ? QSize(0, label->heightForWidth(label->width()) - label->height() + room.height())
                                     : metrics.size(Qt::TextShowMnemonic, text);
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = text = button->text();
            room = style->subElementRect(qobject_cast<QCheckBox *>(button) ? QStyle::SE_CheckBoxContents
                                                                           : QStyle::SE_PushButtonContents,
                                         &option, button);
            need = metrics.size(Qt::TextShowMnemonic, text);
        } else if (auto *group = qobject_cast<QGroupBox *>(widget)) {
            QStyleOptionGroupBox option;
            option.initFrom(group);
            option.text = text = group->title();
            option.lineWidth = 1;
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            if (group->isCheckable())
                option.subControls |= QStyle::SC_GroupBoxCheckBox;
            const QRect title = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group);
            room = group->rect().intersected(title);
            need = title.size();
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            QStyleOptionFrame option;
            option.initFrom(edit);
            option.lineWidth = edit->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
            text = edit->text();
            // Qt keeps 2 pixels on either side of the text.
            room = style->subElementRect(QStyle::SE_LineEditContents, &option, edit)
                       .marginsRemoved(edit->textMargins())
                       .adjusted(2, 0, -2, 0);
            need = QSize(metrics.horizontalAdvance(text), metrics.height());
        }
        if (text.isEmpty() || (room.width() >= need.width() && room.height() >= need.height()))
            continue;
        const QString name = widget->objectName().startsWith(QLatin1String("qt_"))
                                 ? widget->parentWidget()->objectName()
                                 : widget->objectName();
        cut << QStringLiteral("%1 \"%2\": %3x%4 in %5x%6")
                   .arg(name, text)
                   .arg(need.width())
                   .arg(need.height())
                   .arg(room.width())
                   .arg(room.height());
    }
    return cut;
}

} // namespace

// Every text whole at the application fonts Linux desktops use. CTest runs
// this test again under QT_SCALE_FACTOR 1.5 and 2: a scale changes the
// rounding of the font metrics, a larger font the room the text needs.
void TestForm::nothingCut_data()
{
    QTest::addColumn<qreal>("pointSize");
    QTest::addColumn<QString>("locale");
    // What the status line is to say, and words it must hold.
    QTest::addColumn<ControllerStatus>("status");
    QTest::addColumn<bool>("hotKeysMissing");
    QTest::addColumn<bool>("changedElsewhere");
    QTest::addColumn<QString>("holds");

    ControllerStatus loaded;
    loaded.connected = loaded.identified = loaded.loaded = loaded.live = true;
    ControllerStatus denied;
    denied.open_failures = {{"/dev/hidraw13", "Permission denied"}};
    denied.lock_problem = QStringLiteral("/run/user/1000/morvane-pwm: Permission denied");
    ControllerStatus manual = loaded;
    manual.wanted_mode = RegulationMode::manual;
    manual.edits_pending = true;
    ControllerStatus silent = manual;
    silent.answering = false;
    silent.silent_since = QDateTime::currentDateTimeUtc().addSecs(-6);
    const QString since = silent.silent_since.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
    for (const QString locale : {"ru_RU", "en_US"}) {
        for (const qreal size : {9.0, 10.0, 11.0, 12.0}) {
            const QByteArray row = QByteArray::number(size) + " pt " + locale.toLatin1();
            QTest::newRow(row + ", loaded") << size << locale << loaded << false << false << QString();
            QTest::newRow(row + ", open denied, no lock, no hot keys") << size << locale << denied << true << false
                                                                       << "/dev/hidraw13";
            QTest::newRow(row + ", manual, edits, changed over D-Bus") << size << locale << manual << false << true
                                                                       << "D-Bus";
            QTest::newRow(row + ", silent") << size << locale << silent << true << false << since;
        }
    }
}

// The status line wraps and the window grows: the line's every word shows
// whatever the state, the font and the language.
void TestForm::nothingCut()
{
    QFETCH(qreal, pointSize);
    QFETCH(QString, locale);
    QFETCH(ControllerStatus, status);
    QFETCH(bool, hotKeysMissing);
    QFETCH(bool, changedElsewhere);
    QFETCH(QString, holds);
    const QFont original = QApplication::font();
    install_translation(*QCoreApplication::instance(), QLocale(locale));
    const auto restore = qScopeGuard([&original] {
        QApplication::setFont(original);
        qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator *>());
    });
    QFont font = original;
    font.setPointSizeF(pointSize);
    QApplication::setFont(font);

    Form form;
    form.ui.configuration_frame->setEnabled(true);
    SimBackend noController;
    ControllerThread controller(noController, ControllerThread::Threading::caller);
    StatusLine line(controller, form.ui.status_label);
    line.update(status);
    if (hotKeysMissing)
        line.set_problem(QStringLiteral("hot keys"), window_words("GlobalHotKeys", NO_HOT_KEYS));
    if (changedElsewhere)
        emit controller.configuration_changed_elsewhere(ChangeSource::dbus, QDateTime::currentDateTimeUtc());
    QVERIFY2(form.ui.status_label->text().contains(holds), qPrintable(form.ui.status_label->text()));
    showWidestTexts(form.ui);
    form.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form.window));
    QVERIFY(form.window.width() >= 774 && form.window.height() >= 300);
    const QStringList cut = cutTexts(&form.window);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
}

void TestForm::tabChain_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("edited");
    QTest::addColumn<bool>("manual");
    QTest::addColumn<QStringList>("chain"); // from the control focused first

    QStringList loaded;
    for (const char *role : {"verticalSlider", "light_spinBox"}) {
        for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n)
            loaded << point(n, role);
    }
    loaded << "pwm_step_delay_spinBox" << "pwm_smooth_alg_checkBox" << "pwm_slide_delay_spinBox"
           << "avrg_light_num_spinBox";
    QTest::newRow("no controller: nothing takes the keys") << false << false << false << QStringList();
    QTest::newRow("loaded") << true << false << false << loaded + QStringList{"groupBox_5", "curve_pushButton"};
    QTest::newRow("edited, manual regulation")
        << true << true << true
        << loaded + QStringList{"apply_pushButton", "groupBox_5", "pwm_width_horizontalSlider", "curve_pushButton"};
}

// Focus starts on the first control of the chain and Tab visits each enabled
// input control once, in reading order, never a read-out or a hidden control.
// Return and keypad Enter press Apply, from a slider or a spin box alike,
// when it is enabled.
void TestForm::tabChain()
{
    QFETCH(bool, connected);
    QFETCH(bool, edited);
    QFETCH(bool, manual);
    QFETCH(QStringList, chain);

    Form form;
    form.ui.configuration_frame->setEnabled(connected);
    form.ui.apply_pushButton->setEnabled(edited);
    form.ui.groupBox_5->setChecked(manual);
    form.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&form.window));

    QStringList visited;
    for (int i = 0; i <= chain.size(); ++i) {
        QWidget *focus = QApplication::focusWidget();
        if (!focus)
            break;
        QVERIFY2(focus->isVisible() && form.window.rect().contains(QRect(focus->mapTo(&form.window, QPoint()), focus->size())),
                 qPrintable(focus->objectName()));
        // A spin box's inner line edit has the focus on its behalf.
        visited << (focus->objectName().startsWith(QLatin1String("qt_")) ? focus->parentWidget() : focus)->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    // Round the chain and back to the start.
    QCOMPARE(visited, chain.isEmpty() ? chain : chain + chain.mid(0, 1));

    QSignalSpy applied(form.ui.apply_pushButton, &QPushButton::clicked);
    const auto press = [&form](Qt::Key key) {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &form.window, key);
    };
    press(Qt::Key_Return);
    form.ui.auto_3_light_spinBox->setFocus();
    press(Qt::Key_Enter);
    QCOMPARE(applied.size(), connected && edited ? 2 : 0);
}

void TestForm::translation_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("apply");
    // The hot keys' notice, for the window (its language) and for stderr.
    QTest::addColumn<QString>("windowHotKeys");
    QTest::addColumn<QString>("terminalHotKeys");

    const QString english = QString::fromLatin1(NO_HOT_KEYS);
    const QString russian = QStringLiteral("на этом дисплейном сервере нет общесистемных горячих клавиш; меняйте "
                                           "яркость в окне или из значка в трее");
    QTest::newRow("en_US") << "en_US" << "en" << "A&pply" << english << english;
    QTest::newRow("en_GB") << "en_GB" << "en" << "A&pply" << english << english;
    QTest::newRow("C: the source texts") << "C" << "" << "При&менить" << russian << english;
    QTest::newRow("ru_RU: the window's texts as written") << "ru_RU" << "ru" << "При&менить" << russian << russian;
    QTest::newRow("de_DE: no translation, the source texts") << "de_DE" << "" << "При&менить" << russian << english;
}

// Under English every text of the form is English: no Cyrillic is left in
// any text, title or tool tip. The terminal's texts the window shows too are
// in the window's language, whatever stderr's is.
void TestForm::translation()
{
    QFETCH(QString, locale);
    QFETCH(QString, installed);
    QFETCH(QString, apply);
    QFETCH(QString, windowHotKeys);
    QFETCH(QString, terminalHotKeys);

    // As main() installs them.
    QCOMPARE(install_translation(*QCoreApplication::instance(), QLocale(locale)), installed);
    if (installed.isEmpty())
        install_shared_window_words(*QCoreApplication::instance());
    // A translator uninstalls itself when deleted.
    const auto remove = qScopeGuard([] { qDeleteAll(QCoreApplication::instance()->findChildren<QTranslator *>()); });
    QCOMPARE(window_words("GlobalHotKeys", NO_HOT_KEYS), windowHotKeys);
    QCOMPARE(QCoreApplication::translate("GlobalHotKeys", NO_HOT_KEYS), terminalHotKeys);
    Form form;
    QCOMPARE(form.ui.apply_pushButton->text(), apply);
    if (installed != QLatin1String("en"))
        return;
    static const QRegularExpression cyrillic(QStringLiteral("\\p{Cyrillic}"));
    QList<QWidget *> widgets = form.window.findChildren<QWidget *>();
    widgets << &form.window;
    for (QWidget *widget : widgets) {
        for (const char *property : {"windowTitle", "title", "text", "toolTip"}) {
            const QString text = widget->property(property).toString();
            QVERIFY2(!text.contains(cyrillic), qPrintable(widget->objectName() + ' ' + text));
        }
    }
}

void TestForm::cataloguesComplete_data()
{
    QTest::addColumn<QString>("catalogue");
    QTest::addColumn<bool>("translates_cyrillic"); // which texts it must translate: the window's or the terminal's

    QTest::newRow("English: the window's texts") << "morvane-pwm_en.ts" << true;
    QTest::newRow("Russian: the terminal's texts") << "morvane-pwm_ru.ts" << false;
}

// Every text a catalogue is there for has its translation, none left
// unfinished after a change.
void TestForm::cataloguesComplete()
{
    QFETCH(QString, catalogue);
    QFETCH(bool, translates_cyrillic);
    QFile file(QStringLiteral(TRANSLATIONS_DIR "/") + catalogue);
    QVERIFY(file.open(QIODevice::ReadOnly));
    static const QRegularExpression cyrillic(QStringLiteral("\\p{Cyrillic}"));
    QXmlStreamReader ts(&file);
    QString source;
    int translated = 0;
    while (!ts.atEnd()) {
        if (ts.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (ts.name() == QLatin1String("source")) {
            source = ts.readElementText();
        } else if (ts.name() == QLatin1String("translation") && source.contains(cyrillic) == translates_cyrillic) {
            QVERIFY2(ts.attributes().value(QLatin1String("type")).isEmpty(),
                     qPrintable(QStringLiteral("not translated: ") + source));
            ++translated;
        }
    }
    QVERIFY2(!ts.hasError(), qPrintable(ts.errorString()));
    QVERIFY(translated > 40);
}

namespace {

// A window with slots named after two controls that change while the form
// is built: the sample count (0 to its minimum 1) and the manual group
// (checked when made checkable, then unchecked).
class SlotRecorder : public QWidget
{
    Q_OBJECT

public:
    QStringList calls;

private slots:
    void on_avrg_light_num_spinBox_valueChanged(int value) { calls << QStringLiteral("samples %1").arg(value); }
    void on_groupBox_5_toggled(bool checked) { calls << QStringLiteral("manual %1").arg(checked); }
};

} // namespace

void TestForm::buildReachesNoSlot()
{
    SlotRecorder window;
    Ui::Widget ui;
    ui.setupUi(&window);
    QCOMPARE(window.calls, QStringList());

    ui.avrg_light_num_spinBox->setValue(8);
    ui.groupBox_5->setChecked(true);
    QCOMPARE(window.calls, (QStringList{"samples 8", "manual 1"}));
}

QTEST_MAIN(TestForm)
#include "tst_form.moc"
