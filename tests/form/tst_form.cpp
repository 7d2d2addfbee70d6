// The window's form, built on a plain QWidget: widget tree, layouts, texts,
// ranges and the states the window starts in.

#include "ui_widget.h"

#include "protocol/commands.h"

#include <QMetaEnum>
#include <QMetaProperty>
#include <QtTest>

namespace {

// One widget, layout or spacer item of the form. A spacer has no objectName:
// it is named here "<layout>#<item>", after the layout position it fills.
// `parent` is the parent widget; for a layout, the widget it is installed on
// or the layout it is nested in. A null geometry means "placed by a layout".
struct Item
{
    QString name;
    QString cls;
    QString parent;
    QRect geometry;
    QString props; // "property=value ..." as propertyText() renders them
};

const QString PWM_RANGE = QStringLiteral("minimum=0 maximum=%1 value=0").arg(PWM_FULL_SCALE);
const QString LIGHT_RANGE = QStringLiteral("minimum=0 maximum=%1 value=0").arg(LIGHT_FULL_SCALE);
const QString BYTE_RANGE = QStringLiteral("minimum=0 maximum=255 value=0");
const QString READ_ONLY = QStringLiteral("readOnly=true cursor=ArrowCursor");
const QString READING = QStringLiteral("maximumSize=50x16777215 ") + READ_ONLY;
const QString H_SPACER = QStringLiteral("size=40x20 policy=Expanding/Minimum");
const QString V_SPACER = QStringLiteral("size=20x40 policy=Minimum/Expanding");

// The column layouts of the seven curve points, point 1 first.
const QStringList POINT_LAYOUTS{"verticalLayout",   "verticalLayout_2",  "verticalLayout_5", "verticalLayout_6",
                                "verticalLayout_7", "verticalLayout_10", "verticalLayout_11"};

QString point(int n, const char *role)
{
    return QStringLiteral("auto_%1_%2").arg(n).arg(QLatin1String(role));
}

// The whole form in creation order.
QList<Item> items()
{
    QList<Item> list{
        {"configuration_frame", "QFrame", "Widget", {8, 8, 761, 285},
         "ownEnabled=false frameShape=StyledPanel frameShadow=Raised"},
        {"auto_groupBox", "QGroupBox", "configuration_frame", {4, 4, 525, 273}, "checkable=false"},
        {"layoutWidget", "QWidget", "auto_groupBox", {392, 244, 123, 25}, ""},
        {"horizontalLayout_9", "QHBoxLayout", "layoutWidget", {}, ""},
        {"horizontalLayout_9#1", "QSpacerItem", "horizontalLayout_9", {}, H_SPACER},
        {"apply_pushButton", "QPushButton", "layoutWidget", {}, "ownEnabled=false"},
        {"layoutWidget_4", "QWidget", "auto_groupBox", {4, 220, 209, 22}, ""},
        {"horizontalLayout_20", "QHBoxLayout", "layoutWidget_4", {}, ""},
        {"horizontalLayout_20#1", "QSpacerItem", "horizontalLayout_20", {}, H_SPACER},
        {"label_18", "QLabel", "layoutWidget_4", {}, ""},
        {"pwm_step_delay_spinBox", "QSpinBox", "layoutWidget_4", {}, BYTE_RANGE},
        {"label_2", "QLabel", "layoutWidget_4", {}, ""},
        {"layoutWidget_5", "QWidget", "auto_groupBox", {4, 244, 197, 22}, ""},
        {"horizontalLayout_21", "QHBoxLayout", "layoutWidget_5", {}, ""},
        {"horizontalLayout_21#1", "QSpacerItem", "horizontalLayout_21", {}, H_SPACER},
        {"label_19", "QLabel", "layoutWidget_5", {}, ""},
        {"pwm_slide_delay_spinBox", "QSpinBox", "layoutWidget_5", {}, BYTE_RANGE},
        {"layoutWidget1", "QWidget", "auto_groupBox", {8, 20, 509, 189}, ""},
        {"horizontalLayout", "QHBoxLayout", "layoutWidget1", {}, ""},
        {"verticalLayout_8", "QVBoxLayout", "horizontalLayout", {}, ""},
        {"horizontalLayout_19", "QHBoxLayout", "verticalLayout_8", {}, ""},
        {"horizontalLayout_19#1", "QSpacerItem", "horizontalLayout_19", {}, H_SPACER},
        {"label_16", "QLabel", "layoutWidget1", {}, ""},
        {"verticalLayout_8#2", "QSpacerItem", "verticalLayout_8", {}, V_SPACER},
        {"label_17", "QLabel", "layoutWidget1", {}, ""},
    };
    for (int n = 1; n <= POINT_LAYOUTS.size(); ++n) {
        list << Item{POINT_LAYOUTS[n - 1], "QVBoxLayout", "horizontalLayout", {}, ""}
             << Item{point(n, "lineEdit"), "QLineEdit", "layoutWidget1", {}, READ_ONLY}
             << Item{point(n, "verticalSlider"), "QSlider", "layoutWidget1", {},
                     "sizePolicy=Minimum/Expanding orientation=Vertical " + PWM_RANGE}
             << Item{point(n, "light_spinBox"), "QSpinBox", "layoutWidget1", {}, LIGHT_RANGE};
    }
    list << Item{"pwm_smooth_alg_checkBox", "QCheckBox", "auto_groupBox", {224, 224, 160, 17}, "checked=false"}
         << Item{"groupBox_2", "QGroupBox", "configuration_frame", {572, 8, 165, 89}, "checkable=false"}
         << Item{"layoutWidget2", "QWidget", "groupBox_2", {10, 23, 144, 23}, ""}
         << Item{"horizontalLayout_10", "QHBoxLayout", "layoutWidget2", {}, ""}
         << Item{"horizontalLayout_10#1", "QSpacerItem", "horizontalLayout_10", {}, H_SPACER}
         << Item{"label_8", "QLabel", "layoutWidget2", {}, ""}
         << Item{"vAKB_lineEdit", "QLineEdit", "layoutWidget2", {}, READING}
         << Item{"layoutWidget_3", "QWidget", "groupBox_2", {8, 52, 144, 23}, ""}
         << Item{"horizontalLayout_17", "QHBoxLayout", "layoutWidget_3", {}, ""}
         << Item{"horizontalLayout_17#1", "QSpacerItem", "horizontalLayout_17", {}, H_SPACER}
         << Item{"label_15", "QLabel", "layoutWidget_3", {}, ""}
         << Item{"brightness_lineEdit", "QLineEdit", "layoutWidget_3", {}, READING}
         << Item{"groupBox_5", "QGroupBox", "configuration_frame", {540, 132, 209, 73},
                 "checkable=true checked=false"}
         << Item{"pwm_width_horizontalSlider", "QSlider", "groupBox_5", {16, 24, 177, 33},
                 "orientation=Horizontal tickPosition=TicksBothSides " + PWM_RANGE}
         << Item{"layoutWidget_6", "QWidget", "Widget", {540, 356, 207, 22}, ""}
         << Item{"horizontalLayout_22", "QHBoxLayout", "layoutWidget_6", {}, ""}
         << Item{"horizontalLayout_22#1", "QSpacerItem", "horizontalLayout_22", {}, H_SPACER}
         << Item{"label_20", "QLabel", "layoutWidget_6", {}, ""}
         << Item{"avrg_light_num_spinBox", "QSpinBox", "layoutWidget_6", {}, "minimum=1 maximum=50 value=1"}
         << Item{"curve_pushButton", "QPushButton", "Widget", {548, 224, 209, 25}, ""};
    return list;
}

bool isSpacer(const QString &cls)
{
    return cls == QLatin1String("QSpacerItem");
}

// The form's texts, in the order retranslateUi sets them.
struct Text
{
    const char *name;
    const char *property;
    QString text;
};
const Text TEXTS[] = {
    {"Widget", "windowTitle", "Morvane PWM beta6"},
    {"auto_groupBox", "title", "Автоматическая регулировка"},
    {"apply_pushButton", "text", "Применить"},
    {"label_18", "text", "Задержка переключения :"},
    {"label_2", "text", QStringLiteral("\u0441")}, // Cyrillic es, the seconds unit
    {"label_19", "toolTip", "Время изменения яркости на 1%"},
    {"label_19", "text", "Плавность перехода :"},
    {"label_16", "text", "Яркость :"},
    {"label_17", "text", "Освещенность :"},
    {"pwm_smooth_alg_checkBox", "toolTip", "Альтернативный алгоритм"},
    {"pwm_smooth_alg_checkBox", "text", "Линейная интерполяция"},
    {"groupBox_2", "title", "Текущие параметры"},
    {"label_8", "text", "Освещенность :"},
    {"label_15", "text", "Яркость :"},
    {"groupBox_5", "title", "Ручная регулировка"},
    {"label_20", "toolTip", "Количество элементов выборки"},
    {"label_20", "text", "Сглаживание освещенности :"},
    {"curve_pushButton", "toolTip", "Кривая яркости в отдельном окне: точки можно перетаскивать, видно, где контроллер сейчас"},
    {"curve_pushButton", "text", "Кривая…"},
};

// The form built on a window of its own, as the main window builds it.
struct Form
{
    QWidget window;
    Ui::Widget ui;

    explicit Form(const QString &windowName = {})
    {
        window.setObjectName(windowName);
        ui.setupUi(&window);
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
    void samplesRowBelowClientArea();
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
    QCOMPARE(form.window.minimumSize(), QSize(0, 0));
    QCOMPARE(form.window.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

void TestForm::tree_data()
{
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("props");

    const QList<Item> list = items();
    QCOMPARE(list.size(), 73);
    for (const Item &item : list)
        QTest::newRow(qPrintable(item.name)) << item.cls << item.parent << item.geometry << item.props;
}

void TestForm::tree()
{
    QFETCH(QString, cls);
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
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
        if (geometry.isValid())
            QCOMPARE(widget->geometry(), geometry);
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
    QTest::addColumn<QStringList>("content"); // "~" is a spacer item

    const QMargins none;
    QTest::newRow("horizontalLayout_9") << 6 << none << QStringList{"~", "apply_pushButton"};
    QTest::newRow("horizontalLayout_20")
        << 6 << none << QStringList{"~", "label_18", "pwm_step_delay_spinBox", "label_2"};
    QTest::newRow("horizontalLayout_21") << 6 << none << QStringList{"~", "label_19", "pwm_slide_delay_spinBox"};
    QTest::newRow("horizontalLayout") << 3 << none << QStringList{"verticalLayout_8"} + POINT_LAYOUTS;
    QTest::newRow("verticalLayout_8") << 6 << QMargins(0, 0, 0, 4)
                                      << QStringList{"horizontalLayout_19", "~", "label_17"};
    QTest::newRow("horizontalLayout_19") << 6 << none << QStringList{"~", "label_16"};
    for (int n = 1; n <= POINT_LAYOUTS.size(); ++n) {
        QTest::newRow(qPrintable(POINT_LAYOUTS[n - 1]))
            << 6 << none
            << QStringList{point(n, "lineEdit"), point(n, "verticalSlider"), point(n, "light_spinBox")};
    }
    QTest::newRow("horizontalLayout_10") << 6 << none << QStringList{"~", "label_8", "vAKB_lineEdit"};
    QTest::newRow("horizontalLayout_17") << 6 << none << QStringList{"~", "label_15", "brightness_lineEdit"};
    QTest::newRow("horizontalLayout_22") << 6 << none << QStringList{"~", "label_20", "avrg_light_num_spinBox"};
}

void TestForm::layouts()
{
    QFETCH(int, spacing);
    QFETCH(QMargins, margins);
    QFETCH(QStringList, content);

    Form form;
    auto *layout = form.get<QBoxLayout>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(layout);
    QCOMPARE(layout->spacing(), spacing);
    QCOMPARE(layout->contentsMargins(), margins);

    QStringList actual;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        QCOMPARE(layout->stretch(i), 0);
        QCOMPARE(item->alignment(), Qt::Alignment());
        if (item->spacerItem())
            actual << "~";
        else if (item->widget())
            actual << item->widget()->objectName();
        else
            actual << item->layout()->objectName();
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
        for (const Text &t : TEXTS)
            QTest::addRow("%s %s %s", when, t.name, t.property) << t.name << QByteArray(t.property) << t.text;
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

// Only the 17 texts of the form are set; every other text, title and tool tip
// is empty, the line edits included. A spin box's text is its value.
void TestForm::noOtherTexts()
{
    QSet<QPair<QString, QByteArray>> listed;
    for (const Text &t : TEXTS)
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

    for (int n = 1; n <= POINT_LAYOUTS.size(); ++n) {
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
    QList<QWidget *> samplesRow = form.ui.layoutWidget_6->findChildren<QWidget *>();
    samplesRow << form.ui.layoutWidget_6;
    for (QWidget *widget : samplesRow)
        QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));
    QCOMPARE(form.ui.avrg_light_num_spinBox->value(), 1);

    // Once a controller is connected the frame opens up: everything but Apply
    // (nothing edited yet) and the manual slider (its group is unchecked).
    frame->setEnabled(true);
    const QSet<QObject *> stillDisabled{form.ui.apply_pushButton, form.ui.pwm_width_horizontalSlider};
    for (QWidget *widget : inside) {
        if (!widget->objectName().startsWith(QLatin1String("qt_")))
            QCOMPARE(widget->isEnabled(), !stillDisabled.contains(widget));
    }
    // The sample-count row is not the frame's.
    frame->setEnabled(false);
    QVERIFY(form.ui.avrg_light_num_spinBox->isEnabled());
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

// The sample-count row sits on the window below its initial client height:
// hidden until the user makes the window at least 378 pixels high.
void TestForm::samplesRowBelowClientArea()
{
    Form form;
    const QRect row = form.ui.layoutWidget_6->geometry();
    QCOMPARE(form.ui.layoutWidget_6->parentWidget(), &form.window);
    QVERIFY(!form.window.rect().intersects(row));
    QVERIFY(!form.ui.configuration_frame->geometry().intersects(row));

    form.window.resize(774, 377);
    QVERIFY(!form.window.rect().contains(row));
    form.window.resize(774, 378);
    QVERIFY(form.window.rect().contains(row));
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
