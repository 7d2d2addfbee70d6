<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru_RU">
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
</context>
</TS>
