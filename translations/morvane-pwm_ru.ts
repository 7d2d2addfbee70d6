<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU" sourcelanguage="en">
<context>
    <name>CommandLine</name>
    <message>
        <source>connected, light, brightness and mode</source>
        <translation>подключение, освещенность, яркость и режим</translation>
    </message>
    <message>
        <source>Shows whether a controller is connected, its light reading, the brightness it drives
(percent and PWM width) and its regulation mode. With --json, one JSON object.
Exits with 3 when no controller is connected.</source>
        <translation>Показывает, подключен ли контроллер, его показание освещенности, яркость, которую он
задает (в процентах и шириной ШИМ), и режим регулировки. С --json — один объект JSON.
Завершается с кодом 3, когда контроллер не подключен.</translation>
    </message>
    <message>
        <source>one line per change until interrupted</source>
        <translation>строка на каждое изменение, пока не прервут</translation>
    </message>
    <message>
        <source>Prints the status once, then one line each time it changes, until interrupted
(Ctrl+C, SIGTERM). With --json, one JSON object a line.</source>
        <translation>Выводит состояние, затем по строке при каждом его изменении, пока не прервут
(Ctrl+C, SIGTERM). С --json — по объекту JSON в строке.</translation>
    </message>
    <message>
        <source>switch manual regulation on or off</source>
        <translation>включить или выключить ручную регулировку</translation>
    </message>
    <message>
        <source>on: the controller drives the manual level (it starts at the present brightness).
off: it follows its light curve again.</source>
        <translation>on: контроллер держит уровень ручной регулировки (начиная с нынешней яркости).
off: он снова следует своей кривой освещенности.</translation>
    </message>
    <message>
        <source>manual level: width 0..564, or 0%..100%</source>
        <translation>уровень ручной регулировки: ширина 0..564 или 0%..100%</translation>
    </message>
    <message>
        <source>Sets the level of manual regulation: a PWM width from 0 to 564, or a percentage from
0% to 100%. Only in manual regulation (see &apos;manual on&apos;).</source>
        <translation>Задает уровень ручной регулировки: ширину ШИМ от 0 до 564 или процент от 0% до 100%.
Только при ручной регулировке (см. &apos;manual on&apos;).</translation>
    </message>
    <message>
        <source>one step brighter, as the hot key</source>
        <translation>на шаг ярче, как горячая клавиша</translation>
    </message>
    <message>
        <source>Raises the manual level by one hot-key step (3%). Only in manual regulation.</source>
        <translation>Поднимает уровень ручной регулировки на шаг горячей клавиши (3%). Только при ручной регулировке.</translation>
    </message>
    <message>
        <source>one step dimmer, as the hot key</source>
        <translation>на шаг темнее, как горячая клавиша</translation>
    </message>
    <message>
        <source>Lowers the manual level by one hot-key step (3%). Only in manual regulation.</source>
        <translation>Опускает уровень ручной регулировки на шаг горячей клавиши (3%). Только при ручной регулировке.</translation>
    </message>
    <message>
        <source>the controller&apos;s configuration</source>
        <translation>настройки контроллера</translation>
    </message>
    <message>
        <source>Shows the light curve, the delays, the interpolation and the light averaging.
With --json, the document &apos;config export&apos; writes.</source>
        <translation>Показывает кривую яркости, задержки, интерполяцию и усреднение освещенности.
С --json — документ, который пишет &apos;config export&apos;.</translation>
    </message>
    <message>
        <source>save the configuration as JSON</source>
        <translation>сохранить настройки в JSON</translation>
    </message>
    <message>
        <source>Writes the controller&apos;s configuration to FILE as JSON (&apos;-&apos;: standard output).
Nothing is written to the controller.</source>
        <translation>Записывает настройки контроллера в FILE в формате JSON (&apos;-&apos;: стандартный вывод).
В контроллер ничего не записывается.</translation>
    </message>
    <message>
        <source>write a saved configuration to the controller</source>
        <translation>записать сохраненные настройки в контроллер</translation>
    </message>
    <message>
        <source>Checks the whole of FILE (as &apos;config export&apos; writes it) and then writes it to the
controller; a bad file is refused, naming the first bad field, and nothing is
written. With --dry-run, only prints what would change.</source>
        <translation>Проверяет весь FILE (в том виде, в каком его пишет &apos;config export&apos;), затем записывает
его в контроллер; неверный файл отклоняется с указанием первого неверного поля, и
ничего не записывается. С --dry-run только выводит, что изменилось бы.</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>неизвестный параметр %1</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>не задана команда</translation>
    </message>
    <message>
        <source>config needs show, export or import</source>
        <translation>после config нужно show, export или import</translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation>неизвестная команда %1</translation>
    </message>
    <message>
        <source>usage: morvane-pwmctl %1</source>
        <translation>использование: morvane-pwmctl %1</translation>
    </message>
    <message>
        <source>manual takes on or off, not %1</source>
        <translation>manual принимает on или off, а не %1</translation>
    </message>
    <message>
        <source>level takes a width 0..%1 or a percentage 0%..100%, not %2</source>
        <translation>level принимает ширину 0..%1 или процент 0%..100%, а не %2</translation>
    </message>
    <message>
        <source>Usage: morvane-pwmctl %1

%2
</source>
        <translation>Использование: morvane-pwmctl %1

%2
</translation>
    </message>
    <message>
        <source>Usage: morvane-pwmctl COMMAND [OPTIONS]

Controls a Morvane USB brightness controller. While morvane-pwm runs, the commands
go through it; otherwise morvane-pwmctl opens the controller itself.

Commands:
</source>
        <translation>Использование: morvane-pwmctl КОМАНДА [ПАРАМЕТРЫ]

Управляет USB-контроллером яркости Morvane. Пока работает morvane-pwm, команды
идут через нее; иначе morvane-pwmctl открывает контроллер сам.

Команды:
</translation>
    </message>
    <message>
        <source>
Run &apos;morvane-pwmctl COMMAND --help&apos; for more about a command.
Exit codes: 0 done, 1 failed, 2 usage error, 3 no controller.
</source>
        <translation>
Подробнее о команде: &apos;morvane-pwmctl КОМАНДА --help&apos;.
Коды завершения: 0 выполнено, 1 ошибка, 2 неверный вызов, 3 нет контроллера.
</translation>
    </message>
    <message>
        <source>Run &apos;morvane-pwmctl --help&apos; for the commands.</source>
        <translation>Список команд: &apos;morvane-pwmctl --help&apos;.</translation>
    </message>
</context>
<context>
    <name>CommandRunner</name>
    <message>
        <source>controller   not connected</source>
        <translation>контроллер   не подключен</translation>
    </message>
    <message>
        <source>controller   connected</source>
        <translation>контроллер   подключен</translation>
    </message>
    <message>
        <source>light        %1</source>
        <translation>освещенность %1</translation>
    </message>
    <message>
        <source>brightness   %1 (width %2)</source>
        <translation>яркость      %1 (ширина %2)</translation>
    </message>
    <message>
        <source>mode         manual (level %1)</source>
        <translation>режим        ручной (уровень %1)</translation>
    </message>
    <message>
        <source>mode         automatic</source>
        <translation>режим        автоматический</translation>
    </message>
    <message>
        <source>window       has edits that are not applied</source>
        <translation>окно         содержит непримененные правки</translation>
    </message>
    <message>
        <source>point</source>
        <translation>точка</translation>
    </message>
    <message>
        <source>light</source>
        <translation>освещенность</translation>
    </message>
    <message>
        <source>pwm width</source>
        <translation>ширина ШИМ</translation>
    </message>
    <message>
        <source>brightness</source>
        <translation>яркость</translation>
    </message>
    <message>
        <source>step delay             %1</source>
        <translation>задержка переключения  %1</translation>
    </message>
    <message>
        <source>slide delay            %1</source>
        <translation>плавность перехода     %1</translation>
    </message>
    <message>
        <source>linear interpolation   %1</source>
        <translation>линейная интерполяция  %1</translation>
    </message>
    <message>
        <source>yes</source>
        <translation>да</translation>
    </message>
    <message>
        <source>no</source>
        <translation>нет</translation>
    </message>
    <message>
        <source>light samples          %1</source>
        <translation>выборка освещенности   %1</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>не удается записать %1: %2</translation>
    </message>
    <message>
        <source>Saved the configuration to %1.</source>
        <translation>Настройки сохранены в %1.</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>не удается прочитать %1: %2</translation>
    </message>
    <message>
        <source>%1: %2; nothing was written</source>
        <translation>%1: %2; ничего не записано</translation>
    </message>
    <message>
        <source>Would change:</source>
        <translation>Изменилось бы:</translation>
    </message>
    <message>
        <source>Changing:</source>
        <translation>Изменяется:</translation>
    </message>
    <message>
        <source>Written.</source>
        <translation>Записано.</translation>
    </message>
    <message>
        <source>manual, level %1 (width %2)</source>
        <translation>ручная, уровень %1 (ширина %2)</translation>
    </message>
    <message>
        <source>automatic</source>
        <translation>автоматическая</translation>
    </message>
    <message>
        <source>no controller</source>
        <translation>нет контроллера</translation>
    </message>
    <message>
        <source>light %1  brightness %2 (width %3)  %4</source>
        <translation>освещенность %1  яркость %2 (ширина %3)  %4</translation>
    </message>
    <message>
        <source>manual %1</source>
        <translation>ручная %1</translation>
    </message>
    <message>
        <source>The controller already holds this configuration; nothing would be written.</source>
        <translation>В контроллере уже эти настройки; ничего не было бы записано.</translation>
    </message>
    <message>
        <source>The controller already holds this configuration; nothing was written.</source>
        <translation>В контроллере уже эти настройки; ничего не записано.</translation>
    </message>
</context>
<context>
    <name>ConfigFile</name>
    <message>
        <source>an array</source>
        <translation>массив</translation>
    </message>
    <message>
        <source>an object</source>
        <translation>объект</translation>
    </message>
    <message>
        <source>a whole number %1..%2</source>
        <translation>целое число %1..%2</translation>
    </message>
    <message>
        <source>%1 is missing; allowed: %2</source>
        <translation>%1 отсутствует; допустимо: %2</translation>
    </message>
    <message>
        <source>%1 is %2; allowed: %3</source>
        <translation>%1 = %2; допустимо: %3</translation>
    </message>
    <message>
        <source>%1%2 is not a field of this format</source>
        <translation>%1%2 не является полем этого формата</translation>
    </message>
    <message>
        <source>true or false</source>
        <translation>true или false</translation>
    </message>
    <message>
        <source>an array of %1 points</source>
        <translation>массив из %1 точек</translation>
    </message>
    <message>
        <source>curve has %1 points; allowed: %2</source>
        <translation>в кривой %1 точек; допустимо: %2</translation>
    </message>
    <message>
        <source>the document is larger than %1 bytes</source>
        <translation>документ больше %1 байт</translation>
    </message>
    <message>
        <source>not valid JSON: %1 at byte %2</source>
        <translation>неверный JSON: %1 в байте %2</translation>
    </message>
    <message>
        <source>the document is not a JSON object</source>
        <translation>документ не является объектом JSON</translation>
    </message>
</context>
<context>
    <name>Controller</name>
    <message>
        <source>Не удалось опознать устройство!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Неверная версия устройства!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CurveView</name>
    <message>
        <source>Освещенность, отсчеты датчика</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Яркость, %</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CurveWindow</name>
    <message>
        <source>Кривая яркости</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Точки 1–7 перетаскиваются мышью; выбранная точка движется стрелками (с Shift по 10). Оранжевый круг показывает, где контроллер сейчас, бледнеющие точки за ним — его путь за последние три минуты.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DbusAccess</name>
    <message>
        <source>morvane-pwm did not answer: %1</source>
        <translation>morvane-pwm не ответила: %1</translation>
    </message>
    <message>
        <source>no controller found (morvane-pwm is running and sees none)</source>
        <translation>контроллер не найден (morvane-pwm работает и не видит его)</translation>
    </message>
    <message>
        <source>morvane-pwm sent a configuration this client cannot read: %1</source>
        <translation>morvane-pwm прислала настройки, которые этот клиент не может прочитать: %1</translation>
    </message>
    <message>
        <source>morvane-pwm has ended</source>
        <translation>morvane-pwm завершилась</translation>
    </message>
</context>
<context>
    <name>DirectAccess</name>
    <message>
        <source>the controller is in use by %1; try again when it is free</source>
        <translation>контроллер занят: %1; повторите, когда он освободится</translation>
    </message>
    <message>
        <source>another program</source>
        <translation>другая программа</translation>
    </message>
    <message>
        <source>no controller found</source>
        <translation>контроллер не найден</translation>
    </message>
    <message>
        <source>cannot open the controller: %1</source>
        <translation>не удается открыть контроллер: %1</translation>
    </message>
    <message>
        <source>the controller did not send its configuration</source>
        <translation>контроллер не прислал свои настройки</translation>
    </message>
    <message>
        <source>the controller did not confirm the write</source>
        <translation>контроллер не подтвердил запись</translation>
    </message>
    <message>
        <source>nothing was written: the controller is no longer connected</source>
        <translation>ничего не записано: контроллер больше не подключен</translation>
    </message>
    <message>
        <source>the controller did not switch its regulation</source>
        <translation>контроллер не переключил регулировку</translation>
    </message>
    <message>
        <source>the controller is busy; try again</source>
        <translation>контроллер занят; повторите</translation>
    </message>
    <message>
        <source>the controller did not answer when asked who it is</source>
        <translation>контроллер не ответил на запрос опознания</translation>
    </message>
    <message>
        <source>the controller reports version %1; this tool knows version %2 only</source>
        <translation>контроллер сообщает версию %1; эта программа знает только версию %2</translation>
    </message>
    <message>
        <source>the controller went away</source>
        <translation>контроллер отключился</translation>
    </message>
    <message>
        <source>the controller is not in manual regulation: run &apos;morvane-pwmctl manual on&apos; first</source>
        <translation>контроллер не в ручной регулировке: сначала выполните &apos;morvane-pwmctl manual on&apos;</translation>
    </message>
</context>
<context>
    <name>IdentificationError</name>
    <message>
        <source>Контроллер сообщил версию %1, программа работает с версией %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Программа будет закрыта.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>OpenFailureNotice</name>
    <message>
        <source>unknown error</source>
        <translation>неизвестная ошибка</translation>
    </message>
    <message>
        <source>morvane-pwm: cannot open the controller at %1 (%2); install the tool&apos;s udev rule 70-morvane-pwm.rules (the package puts it in /usr/lib/udev/rules.d), run &apos;sudo udevadm control --reload &amp;&amp; sudo udevadm trigger&apos; and replug the controller</source>
        <translation>morvane-pwm: не удается открыть контроллер %1 (%2); установите правило udev программы 70-morvane-pwm.rules (пакет кладет его в /usr/lib/udev/rules.d), выполните &apos;sudo udevadm control --reload &amp;&amp; sudo udevadm trigger&apos; и переподключите контроллер</translation>
    </message>
</context>
<context>
    <name>PortalHotKeyGrabber</name>
    <message>
        <source>Ярче (ручная регулировка)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Темнее (ручная регулировка)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Горячая клавиша %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StatusLine</name>
    <message>
        <source>Контроллер подключен, настройки загружены.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер найден, настройки загружаются…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер %1 найден, но открыть его не удалось. Установите правило udev 70-morvane-pwm.rules и переподключите контроллер.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>После установки правила: sudo udevadm control --reload &amp;&amp; sudo udevadm trigger</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер отключен. Когда он снова будет подключен, настройки загрузятся сами.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер не найден. Подключите его к USB.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UnappliedEditsPrompt</name>
    <message>
        <source>Изменения настроек не применены.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Применить их перед закрытием?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Применить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Не применять</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Отмена</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Widget</name>
    <message>
        <source>Morvane PWM beta6</source>
        <translation>Morvane PWM beta6</translation>
    </message>
    <message>
        <source>&amp;Автоматическая регулировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Я&amp;ркость :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Освещенность :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Яркость этой точки кривой: 0–100 % (клавиши: шаг 1 %, PgUp/PgDn — 10 %)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Освещенность, начиная с которой действует яркость этой точки: 0–1023 (показание датчика)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Задержка переключения яркости: 0–255 с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Задержка переключения :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>с</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Альтернативный алгоритм</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Линейная интерполяция</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Время изменения яркости на 1%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Плавность перехода :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Время изменения яркости на 1%: 0–255</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Количество элементов выборки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Сглаживание освещенности :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Количество элементов выборки: 1–50 измерений освещенности усредняются</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Записать настройки в контроллер (Enter)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>При&amp;менить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Текущие параметры</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Освещенность :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Яркость :</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ручная регулировка яркости; горячие клавиши Ctrl+Alt+P — ярче, Ctrl+Alt+M — темнее</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Ручная регулировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Яркость при ручной регулировке: 0–100 % (клавиши: шаг 1 %, PgUp/PgDn — 10 %; Ctrl+Alt+P / Ctrl+Alt+M — 3 %)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Кривая яркости в отдельном окне: точки можно перетаскивать, видно, где контроллер сейчас</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Кривая…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка!</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>morvane-pwm: no D-Bus interface for scripts and morvane-pwmctl (%1)</source>
        <translation>morvane-pwm: нет интерфейса D-Bus для сценариев и morvane-pwmctl (%1)</translation>
    </message>
</context>
</TS>
