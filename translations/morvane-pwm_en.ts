<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru_RU">
<context>
    <name>ConfigFile</name>
    <message>
        <source>an array</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>an object</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a whole number %1..%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is missing; allowed: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is %2; allowed: %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1%2 is not a field of this format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>true or false</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>an array of %1 points</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>curve has %1 points; allowed: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the document is larger than %1 bytes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not valid JSON: %1 at byte %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the document is not a JSON object</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Controller</name>
    <message>
        <source>Не удалось опознать устройство!</source>
        <translation>The device could not be identified!</translation>
    </message>
    <message>
        <source>Неверная версия устройства!</source>
        <translation>Wrong device version!</translation>
    </message>
</context>
<context>
    <name>CurveView</name>
    <message>
        <source>Освещенность, отсчеты датчика</source>
        <translation>Light, sensor counts</translation>
    </message>
    <message>
        <source>Яркость, %</source>
        <translation>Brightness, %</translation>
    </message>
</context>
<context>
    <name>CurveWindow</name>
    <message>
        <source>Кривая яркости</source>
        <translation>Brightness curve</translation>
    </message>
    <message>
        <source>Точки 1–7 перетаскиваются мышью; выбранная точка движется стрелками (с Shift по 10). Оранжевый круг показывает, где контроллер сейчас, бледнеющие точки за ним — его путь за последние три минуты.</source>
        <translation>Drag points 1–7 with the mouse; the selected point moves with the arrow keys (by 10 with Shift). The orange disc shows where the controller is now, the fading dots behind it its path over the last three minutes.</translation>
    </message>
</context>
<context>
    <name>IdentificationError</name>
    <message>
        <source>Контроллер сообщил версию %1, программа работает с версией %2.</source>
        <translation>The controller reports version %1; this program works with version %2.</translation>
    </message>
    <message>
        <source>Программа будет закрыта.</source>
        <translation>The program will close.</translation>
    </message>
</context>
<context>
    <name>OpenFailureNotice</name>
    <message>
        <source>unknown error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwm: cannot open the controller at %1 (%2); install the tool&apos;s udev rule 70-morvane-pwm.rules (the package puts it in /usr/lib/udev/rules.d), run &apos;sudo udevadm control --reload &amp;&amp; sudo udevadm trigger&apos; and replug the controller</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PortalHotKeyGrabber</name>
    <message>
        <source>Ярче (ручная регулировка)</source>
        <translation>Brighter light (manual regulation)</translation>
    </message>
    <message>
        <source>Темнее (ручная регулировка)</source>
        <translation>Dimmer light (manual regulation)</translation>
    </message>
    <message>
        <source>Горячая клавиша %1</source>
        <translation>Hot key %1</translation>
    </message>
</context>
<context>
    <name>StatusLine</name>
    <message>
        <source>Контроллер подключен, настройки загружены.</source>
        <translation>Controller connected, settings loaded.</translation>
    </message>
    <message>
        <source>Контроллер найден, настройки загружаются…</source>
        <translation>Controller found, loading its settings…</translation>
    </message>
    <message>
        <source>Контроллер %1 найден, но открыть его не удалось. Установите правило udev 70-morvane-pwm.rules и переподключите контроллер.</source>
        <translation>Controller found at %1, but it cannot be opened. Install the udev rule 70-morvane-pwm.rules and plug the controller in again.</translation>
    </message>
    <message>
        <source>После установки правила: sudo udevadm control --reload &amp;&amp; sudo udevadm trigger</source>
        <translation>After installing the rule: sudo udevadm control --reload &amp;&amp; sudo udevadm trigger</translation>
    </message>
    <message>
        <source>Контроллер отключен. Когда он снова будет подключен, настройки загрузятся сами.</source>
        <translation>Controller unplugged. Its settings load by themselves when it is plugged in again.</translation>
    </message>
    <message>
        <source>Контроллер не найден. Подключите его к USB.</source>
        <translation>No controller found. Plug it into a USB port.</translation>
    </message>
</context>
<context>
    <name>UnappliedEditsPrompt</name>
    <message>
        <source>Изменения настроек не применены.</source>
        <translation>The settings have changes that are not applied.</translation>
    </message>
    <message>
        <source>Применить их перед закрытием?</source>
        <translation>Apply them before closing?</translation>
    </message>
    <message>
        <source>&amp;Применить</source>
        <translation>&amp;Apply</translation>
    </message>
    <message>
        <source>&amp;Не применять</source>
        <translation>&amp;Discard</translation>
    </message>
    <message>
        <source>&amp;Отмена</source>
        <translation>&amp;Cancel</translation>
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
        <translation>&amp;Automatic regulation</translation>
    </message>
    <message>
        <source>Я&amp;ркость :</source>
        <translation>&amp;Brightness:</translation>
    </message>
    <message>
        <source>&amp;Освещенность :</source>
        <translation>&amp;Light:</translation>
    </message>
    <message>
        <source>Яркость этой точки кривой: 0–100 % (клавиши: шаг 1 %, PgUp/PgDn — 10 %)</source>
        <translation>Brightness at this point of the curve: 0–100 % (keys: 1 % a step, PgUp/PgDn 10 %)</translation>
    </message>
    <message>
        <source>Освещенность, начиная с которой действует яркость этой точки: 0–1023 (показание датчика)</source>
        <translation>Light level from which this point&apos;s brightness applies: 0–1023 (sensor reading)</translation>
    </message>
    <message>
        <source>Задержка переключения яркости: 0–255 с</source>
        <translation>Delay before the brightness switches: 0–255 s</translation>
    </message>
    <message>
        <source>&amp;Задержка переключения :</source>
        <translation>Switching &amp;delay:</translation>
    </message>
    <message>
        <source>с</source>
        <translation>s</translation>
    </message>
    <message>
        <source>Альтернативный алгоритм</source>
        <translation>Alternative algorithm</translation>
    </message>
    <message>
        <source>&amp;Линейная интерполяция</source>
        <translation>Linear &amp;interpolation</translation>
    </message>
    <message>
        <source>Время изменения яркости на 1%</source>
        <translation>Time to change the brightness by 1%</translation>
    </message>
    <message>
        <source>&amp;Плавность перехода :</source>
        <translation>Smooth &amp;transition:</translation>
    </message>
    <message>
        <source>Время изменения яркости на 1%: 0–255</source>
        <translation>Time to change the brightness by 1%: 0–255</translation>
    </message>
    <message>
        <source>Количество элементов выборки</source>
        <translation>Number of samples averaged</translation>
    </message>
    <message>
        <source>&amp;Сглаживание освещенности :</source>
        <translation>Light &amp;smoothing:</translation>
    </message>
    <message>
        <source>Количество элементов выборки: 1–50 измерений освещенности усредняются</source>
        <translation>Number of samples averaged: 1–50 light readings</translation>
    </message>
    <message>
        <source>Записать настройки в контроллер (Enter)</source>
        <translation>Write the settings to the controller (Enter)</translation>
    </message>
    <message>
        <source>При&amp;менить</source>
        <translation>A&amp;pply</translation>
    </message>
    <message>
        <source>Текущие параметры</source>
        <translation>Current values</translation>
    </message>
    <message>
        <source>Освещенность :</source>
        <translation>Light:</translation>
    </message>
    <message>
        <source>Яркость :</source>
        <translation>Brightness:</translation>
    </message>
    <message>
        <source>Ручная регулировка яркости; горячие клавиши Ctrl+Alt+P — ярче, Ctrl+Alt+M — темнее</source>
        <translation>Manual brightness regulation; hot keys Ctrl+Alt+P brighter, Ctrl+Alt+M dimmer</translation>
    </message>
    <message>
        <source>&amp;Ручная регулировка</source>
        <translation>&amp;Manual regulation</translation>
    </message>
    <message>
        <source>Яркость при ручной регулировке: 0–100 % (клавиши: шаг 1 %, PgUp/PgDn — 10 %; Ctrl+Alt+P / Ctrl+Alt+M — 3 %)</source>
        <translation>Brightness under manual regulation: 0–100 % (keys: 1 % a step, PgUp/PgDn 10 %; Ctrl+Alt+P / Ctrl+Alt+M 3 %)</translation>
    </message>
    <message>
        <source>Ошибка!</source>
        <translation>Error!</translation>
    </message>
    <message>
        <source>Кривая яркости в отдельном окне: точки можно перетаскивать, видно, где контроллер сейчас</source>
        <translation>The brightness curve in a window of its own: drag its points, see where the controller is now</translation>
    </message>
    <message>
        <source>&amp;Кривая…</source>
        <translation>&amp;Curve…</translation>
    </message>
</context>
</TS>
