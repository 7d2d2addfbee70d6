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
        <source>Run &apos;morvane-pwmctl --help&apos; for the commands.</source>
        <translation>Список команд: &apos;morvane-pwmctl --help&apos;.</translation>
    </message>
    <message>
        <source>light and brightness hour by hour, and the manual corrections</source>
        <translation>освещенность и яркость по часам и ручные поправки</translation>
    </message>
    <message>
        <source>Shows what morvane-pwm recorded over the last N days (30 unless --days says otherwise):
per hour the light (least, mean, most), the mean brightness, the mode and the minutes
connected; then each manual change of the level. With --json one JSON object, with
--csv one table. Reads the history only; the program need not run.</source>
        <translation>Показывает, что morvane-pwm записала за последние N дней (30, если --days не задает иное):
по часам освещенность (наименьшую, среднюю, наибольшую), среднюю яркость, режим и минуты
подключения; затем каждое ручное изменение уровня. С --json — один объект JSON, с
--csv — одна таблица. Только читает историю; программа может быть не запущена.</translation>
    </message>
    <message>
        <source>a curve fitted to your manual corrections</source>
        <translation>кривая, подобранная по вашим ручным поправкам</translation>
    </message>
    <message>
        <source>Proposes a light curve from the manual corrections in the history and the
configuration the controller last held, and says which points would change.
--positions time moves the points to the light levels where the time is spent
(keep: they stay). With -o, writes the proposal to FILE as a configuration that
&apos;config import&apos; accepts (&apos;-&apos;: standard output). Nothing is written to the controller.</source>
        <translation>Предлагает кривую по ручным поправкам из истории и последней
конфигурации контроллера и говорит, какие точки изменятся.
--positions time переносит точки на уровни освещенности, где проходит время
(keep: точки остаются). С -o записывает предложение в FILE как конфигурацию,
которую принимает &apos;config import&apos; (&apos;-&apos;: стандартный вывод). В контроллер ничего не записывается.</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 требует значения</translation>
    </message>
    <message>
        <source>--days takes 1..%1, not %2</source>
        <translation>--days принимает 1..%1, а не %2</translation>
    </message>
    <message>
        <source>--positions takes keep or time, not %1</source>
        <translation>--positions принимает keep или time, а не %1</translation>
    </message>
    <message>
        <source>Shows whether a controller is connected and answers, its light reading, the brightness
it drives (percent and PWM width) and its regulation mode. With --json, one JSON object.
Exit codes: 0 the controller answers; 1 it does not answer (the readings shown are the
last it gave), another program has it open, or the status could not be read; 2 usage
error; 3 no controller is connected.</source>
        <translation>Показывает, подключен ли контроллер и отвечает ли он, его показание освещенности,
яркость, которую он задает (в процентах и шириной ШИМ), и режим регулировки.
С --json — один объект JSON. Коды завершения: 0 контроллер отвечает; 1 он не отвечает
(показаны последние полученные от него показания), его открыла другая программа или
состояние не удалось прочитать; 2 ошибка в вызове; 3 контроллер не подключен.</translation>
    </message>
    <message>
        <source>a line per change, at most two a second</source>
        <translation>строка на изменение, не больше двух в секунду</translation>
    </message>
    <message>
        <source>Prints the status once, then a line when it changes, until interrupted (Ctrl+C,
SIGTERM): at most one line per --interval (0.1 to 3600 seconds, 0.5 unless given);
a change within it is printed when it ends, as it then stands. With --json, one
JSON object a line, with the keys of &apos;status --json&apos; and its time. Exit codes: 0
interrupted; 1 morvane-pwm ended or the controller could not be reached; 2 usage error.</source>
        <translation>Выводит состояние, затем по строке при его изменении, пока не прервут (Ctrl+C, SIGTERM):
не больше одной строки за --interval (от 0.1 до 3600 секунд, без него 0.5); изменение внутри
интервала выводится по его окончании, каким состояние тогда стало. С --json — по объекту JSON
в строке, с ключами &apos;status --json&apos; и временем. Коды завершения: 0 прервано; 1 morvane-pwm
завершилась или контроллер недоступен; 2 ошибка в вызове.</translation>
    </message>
    <message>
        <source>--interval takes 0.1..3600 seconds, not %1</source>
        <translation>--interval принимает 0.1..3600 секунд, а не %1</translation>
    </message>
    <message>
        <source>Usage: morvane-pwmctl config show|export|import ...

The controller&apos;s configuration: the light curve and the settings beside it.

Commands:
</source>
        <translation>Использование: morvane-pwmctl config show|export|import ...

Настройки контроллера: кривая освещенности и параметры при ней.

Команды:
</translation>
    </message>
    <message>
        <source>--device needs a value</source>
        <translation>--device требует значения</translation>
    </message>
    <message>
        <source>
Every command takes:
  --device SEL    the controller: its id, its serial number, its number in &apos;list&apos;, or
                  the first four or more characters of an id or serial number; needed
                  when several are connected (history and propose pick among the
                  controllers in the history, the one recorded last first)
</source>
        <translation>
Любая команда принимает:
  --device SEL    контроллер: его идентификатор, серийный номер, номер в &apos;list&apos; или
                  первые четыре или больше знаков идентификатора или серийного номера;
                  нужен, когда подключено несколько (history и propose выбирают среди
                  контроллеров в истории, последний записанный первым)
</translation>
    </message>
    <message>
        <source>
Run &apos;morvane-pwmctl COMMAND --help&apos; for more about a command, &apos;morvane-pwmctl --version&apos; for the version.
Exit codes: 0 done, 1 failed (also when the controller did not confirm a change),
2 usage error (also: several controllers and no --device), 3 no controller (or none
that --device names).
</source>
        <translation>
Подробнее о команде: &apos;morvane-pwmctl КОМАНДА --help&apos;, версия: &apos;morvane-pwmctl --version&apos;.
Коды выхода: 0 выполнено, 1 не удалось (и когда контроллер не подтвердил изменение),
2 ошибка в вызове (и когда подключено несколько контроллеров, а --device не указан),
3 нет контроллера (или ни один не подходит под --device).
</translation>
    </message>
    <message>
        <source>the controllers connected, numbered</source>
        <translation>подключенные контроллеры по номерам</translation>
    </message>
    <message>
        <source>One line per controller: its number, its id, its serial number (&apos;-&apos; when it has
none) and whether it answers. The id, the serial number, the number or the first
four or more characters of an id or serial number pick one with --device. With
--json, a JSON array: per controller the keys of &apos;status --json&apos;. Exit codes: 0
listed; 1 one of them could not be read; 2 usage error; 3 no controller is connected.</source>
        <translation>По строке на контроллер: его номер, идентификатор, серийный номер (&apos;-&apos;, если его
нет) и отвечает ли он. Идентификатор, серийный номер, номер или первые четыре или
больше знаков идентификатора или серийного номера выбирают контроллер в --device.
С --json — массив JSON: для каждого контроллера ключи &apos;status --json&apos;. Коды выхода:
0 показаны; 1 один из них не удалось прочитать; 2 ошибка в вызове; 3 нет контроллера.</translation>
    </message>
    <message>
        <source>measure how much of the lamp&apos;s own light reaches the sensor</source>
        <translation>измерить, сколько света лампы попадает на датчик</translation>
    </message>
    <message>
        <source>Switches to manual regulation and steps the brightness 0, 10, 25, 50, 75, 100% and
back down, waiting at each step for the light reading to settle (a minute at most),
then brings back the mode and level it found, also when interrupted (Ctrl+C). Prints
k, the light counts the lamp adds per 1% of brightness, how well a line fits (R²)
and the readings; steps go to stderr. The result is kept in the history. With --json,
one JSON object. With --last, the result measured last and when, from the history
(no controller needed). Exit codes: 0 measured; 1 refused, interrupted, the room&apos;s
light changed meanwhile, or --last found none; 2 usage error; 3 no controller.</source>
        <translation>Включает ручной режим и проходит яркостью 0, 10, 25, 50, 75, 100% и обратно, на каждом
шаге дожидаясь, пока освещенность установится (всего не больше минуты), затем
возвращает режим и уровень, которые застал, и при прерывании (Ctrl+C). Выводит k —
сколько единиц освещенности лампа добавляет на 1% яркости, насколько хорошо их
описывает прямая (R²), и показания; шаги идут в stderr. Результат сохраняется в
истории. С --json — один объект JSON. С --last — последний измеренный результат и его
время из истории (контроллер не нужен). Коды выхода: 0 измерено; 1 отказ, прервано,
свет в комнате за это время изменился или --last ничего не нашел; 2 ошибка в вызове;
3 нет контроллера.</translation>
    </message>
</context>
<context>
    <name>CommandRunner</name>
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
        <translation>ручной, уровень %1 (ширина %2)</translation>
    </message>
    <message>
        <source>automatic</source>
        <translation>автоматический</translation>
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
        <translation>ручной %1</translation>
    </message>
    <message>
        <source>The controller already holds this configuration; nothing would be written.</source>
        <translation>В контроллере уже эти настройки; ничего не было бы записано.</translation>
    </message>
    <message>
        <source>The controller already holds this configuration; nothing was written.</source>
        <translation>В контроллере уже эти настройки; ничего не записано.</translation>
    </message>
    <message numerus="yes">
        <source>Nothing recorded in the last %n day(s).</source>
        <translation>
            <numerusform>За последний %n день ничего не записано.</numerusform>
            <numerusform>За последние %n дня ничего не записано.</numerusform>
            <numerusform>За последние %n дней ничего не записано.</numerusform>
        </translation>
    </message>
    <message>
        <source>manual change (local)  light  from  to     by</source>
        <translation>ручное изменение       свет   было  стало  кто</translation>
    </message>
    <message>
        <source>no configuration recorded yet: run morvane-pwm with the controller once</source>
        <translation>конфигурация еще не записана: запустите morvane-pwm с контроллером хотя бы раз</translation>
    </message>
    <message>
        <source>no proposal: %1</source>
        <translation>предложения нет: %1</translation>
    </message>
    <message>
        <source>light now</source>
        <translation>свет сейчас</translation>
    </message>
    <message>
        <source>proposed</source>
        <translation>предложено</translation>
    </message>
    <message>
        <source>level now</source>
        <translation>уровень сейчас</translation>
    </message>
    <message>
        <source>Saved the proposal to %1; &apos;morvane-pwmctl config import %1&apos; writes it to the controller.</source>
        <translation>Предложение сохранено в %1; &apos;morvane-pwmctl config import %1&apos; запишет его в контроллер.</translation>
    </message>
    <message>
        <source>the controller has not answered since %1; the readings are the last it gave</source>
        <translation>контроллер не отвечает с %1; показания — последние полученные от него</translation>
    </message>
    <message>
        <source>reading it failed</source>
        <translation>чтение не удалось</translation>
    </message>
    <message>
        <source>writing it failed (is the disk full?)</source>
        <translation>запись не удалась (не заполнен ли диск?)</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>это папка</translation>
    </message>
    <message>
        <source>there is no such file</source>
        <translation>такого файла нет</translation>
    </message>
    <message>
        <source>its folder does not exist</source>
        <translation>его папки нет</translation>
    </message>
    <message>
        <source>you have no permission for it</source>
        <translation>нет прав доступа к нему</translation>
    </message>
    <message>
        <source>it cannot be read</source>
        <translation>его не удается прочитать</translation>
    </message>
    <message>
        <source>it cannot be written</source>
        <translation>его не удается записать</translation>
    </message>
    <message>
        <source>manual</source>
        <translation>ручной</translation>
    </message>
    <message>
        <source>window</source>
        <translation>окно</translation>
    </message>
    <message>
        <source>hot key</source>
        <translation>горячая клавиша</translation>
    </message>
    <message>
        <source>tray</source>
        <translation>трей</translation>
    </message>
    <message>
        <source>D-Bus</source>
        <translation>D-Bus</translation>
    </message>
    <message>
        <source>morvane-pwmctl</source>
        <translation>morvane-pwmctl</translation>
    </message>
    <message>
        <source>hour (local)       light min  mean   max  brightness</source>
        <translation>час (местный)      свет мин  средн  макс     яркость</translation>
    </message>
    <message>
        <source>mode</source>
        <translation>режим</translation>
    </message>
    <message>
        <source>connected</source>
        <translation>подключен</translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation>%1 мин</translation>
    </message>
    <message>
        <source>%1; a proposal follows once it holds %2 manual changes of the level (hot keys, tray, window or morvane-pwmctl)</source>
        <translation>%1; предложение появится, когда в ней будет %2 ручных изменений уровня (горячими клавишами, из трея, в окне или morvane-pwmctl)</translation>
    </message>
    <message>
        <source>not connected</source>
        <translation>не подключен</translation>
    </message>
    <message>
        <source>connected, not answering</source>
        <translation>подключен, не отвечает</translation>
    </message>
    <message>
        <source>several controllers are connected (%1); choose one with --device</source>
        <translation>подключено несколько контроллеров (%1); выберите один через --device</translation>
    </message>
    <message>
        <source>%1 names several controllers (%2); choose one of them</source>
        <translation>%1 подходит под несколько контроллеров (%2); выберите один из них</translation>
    </message>
    <message>
        <source>no controller in the history matches %1</source>
        <translation>в истории нет контроллера, подходящего под %1</translation>
    </message>
    <message>
        <source>no controller matches %1; &apos;morvane-pwmctl list&apos; shows them</source>
        <translation>ни один контроллер не подходит под %1; список показывает &apos;morvane-pwmctl list&apos;</translation>
    </message>
    <message>
        <source>controller   %1</source>
        <translation>контроллер   %1</translation>
    </message>
    <message>
        <source>%1 of %2 steps measured</source>
        <translation>измерено шагов: %1 из %2</translation>
    </message>
    <message>
        <source>the result was not kept in the history: %1</source>
        <translation>результат не сохранен в истории: %1</translation>
    </message>
    <message>
        <source>measured     %1</source>
        <translation>измерено     %1</translation>
    </message>
    <message>
        <source>no coupling measured yet; &apos;morvane-pwmctl coupling&apos; measures it</source>
        <translation>свет лампы еще не измерялся; его измеряет &apos;morvane-pwmctl coupling&apos;</translation>
    </message>
    <message>
        <source>k            %1 light counts per 1% of brightness</source>
        <translation>k            %1 ед. освещенности на 1% яркости</translation>
    </message>
    <message>
        <source>R²           %1</source>
        <translation>R²           %1</translation>
    </message>
    <message>
        <source>R²           none: the readings did not change</source>
        <translation>R²           нет: показания не менялись</translation>
    </message>
    <message>
        <source>light at 0%  %1 before, %2 after</source>
        <translation>свет при 0%  %1 до, %2 после</translation>
    </message>
    <message>
        <source>brightness  light</source>
        <translation>   яркость   свет</translation>
    </message>
    <message>
        <source>the room&apos;s light changed; measure again</source>
        <translation>свет в комнате изменился; измерьте еще раз</translation>
    </message>
    <message>
        <source>the brightness may run away to full</source>
        <translation>яркость может уйти на полную</translation>
    </message>
    <message>
        <source>the brightness will hunt</source>
        <translation>яркость будет раскачиваться</translation>
    </message>
    <message>
        <source>warning: between points %1 and %2 the lamp&apos;s own light comes back with a loop gain of %3, so %4; flatten that segment, or raise the averaging or the switching delay</source>
        <translation>предупреждение: между точками %1 и %2 собственный свет лампы возвращается с усилением %3, поэтому %4; сделайте этот участок положе или увеличьте усреднение или задержку переключения</translation>
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
        <source>the document is not a JSON object</source>
        <translation>документ не является объектом JSON</translation>
    </message>
    <message>
        <source>point %1 (%2)</source>
        <translation>точка %1 (%2)</translation>
    </message>
    <message>
        <source>%1 is not a field of this format</source>
        <translation>%1 не является полем этого формата</translation>
    </message>
    <message>
        <source>the text ends before its brackets or quotes close</source>
        <translation>текст кончается раньше, чем закрыты скобки или кавычки</translation>
    </message>
    <message>
        <source>a &apos;:&apos; or &apos;,&apos; is missing</source>
        <translation>не хватает &apos;:&apos; или &apos;,&apos;</translation>
    </message>
    <message>
        <source>more text follows the document&apos;s end</source>
        <translation>после конца документа есть еще текст</translation>
    </message>
    <message>
        <source>what stands there is not a JSON value</source>
        <translation>там стоит не значение JSON</translation>
    </message>
    <message>
        <source>not valid JSON at byte %1: %2 (%3)</source>
        <translation>неверный JSON в байте %1: %2 (%3)</translation>
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
    <name>ControllerSelector</name>
    <message>
        <source>%1 (серийный номер %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ко&amp;нтроллер:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер, который показывает окно: его настройки, показания и кривая</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CurveFit</name>
    <message>
        <source>no point would change</source>
        <translation>ни одна точка не изменится</translation>
    </message>
    <message>
        <source>point %1 would change</source>
        <translation>изменится точка %1</translation>
    </message>
    <message>
        <source>points %1 would change</source>
        <translation>изменятся точки %1</translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation>%1 и %2</translation>
    </message>
    <message>
        <source>1 correction</source>
        <translation>1 поправка</translation>
    </message>
    <message numerus="yes">
        <source>%n corrections</source>
        <translation>
            <numerusform>%n поправка</numerusform>
            <numerusform>%n поправки</numerusform>
            <numerusform>%n поправок</numerusform>
        </translation>
    </message>
    <message>
        <source>1 day</source>
        <translation>1 день</translation>
    </message>
    <message numerus="yes">
        <source>%n days</source>
        <translation>
            <numerusform>%n день</numerusform>
            <numerusform>%n дня</numerusform>
            <numerusform>%n дней</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 over %2; %3</source>
        <translation>%1 за %2; %3</translation>
    </message>
    <message>
        <source>%1 of the %2 manual corrections a proposal needs so far</source>
        <translation>пока %1 из %2 ручных поправок, нужных для предложения</translation>
    </message>
    <message>
        <source>every correction is near point %1; a proposal needs corrections near at least %2 points</source>
        <translation>все поправки у точки %1; для предложения нужны поправки хотя бы у %2 точек</translation>
    </message>
    <message>
        <source>the corrections pull the curve back and forth; no proposal</source>
        <translation>поправки тянут кривую то туда, то обратно; предложения нет</translation>
    </message>
    <message>
        <source>%1; slopes limited so that the lamp&apos;s own light cannot make it hunt</source>
        <translation>%1; наклон ограничен, чтобы собственный свет лампы не раскачивал яркость</translation>
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
    <message>
        <source>Истории освещенности пока нет</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>доля времени за %1 дн.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>может уйти на полную яркость</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>усиливает свой же свет</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>будет раскачиваться</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>может раскачиваться</source>
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
        <source>Кривая</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>По времени</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>24 часа</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>7 дней</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Использовать предложение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Точки — где бывает свет</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Переносит точки кривой на те уровни освещенности, где проходит больше всего времени; иначе точки остаются на своих местах</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Переносит предложенные точки в форму; контроллер получит их только по «Применить»</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сплошная линия — что делает контроллер с примененными настройками (без линейной интерполяции — ступени), пунктир с точками — правки до «Применить». Выбранная точка: ←/→ — освещенность на 1 отсчет (Shift — на 10), ↑/↓ — яркость на 1 % (PgUp/PgDn или Shift — на 10 %); Enter применяет, Esc закрывает окно. Оранжевый круг — где контроллер сейчас, лиловые точки — ручные поправки.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Зеленая линия с квадратами — кривая, предложенная по ручным поправкам.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Без контроллера предложение можно только посмотреть</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Кривая в форме изменена и не применена.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Заменить эти изменения предложением?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Заменить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Оставить мои</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Измерить свет лампы…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Проходит яркостью от 0 до 100 % и обратно и смотрит, сколько света лампы доходит до датчика; около минуты, потом режим и яркость возвращаются</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Измерение прервано: контроллер отключен</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Измерение прервано: контроллер перестал отвечать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Измерить не удалось: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Измеряется свет лампы на датчике…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Свет лампы на датчике: %1 отсчета на 1 % яркости (измерено %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1; свет в комнате менялся, лучше измерить еще раз</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сколько света лампы доходит до датчика, не измерено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Точки %1–%2: %3 (усиление до %4). Сделайте участок положе, увеличьте усреднение или задержку переключения.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DbusAccess</name>
    <message>
        <source>morvane-pwm sent a configuration this client cannot read: %1</source>
        <translation>morvane-pwm прислала настройки, которые этот клиент не может прочитать: %1</translation>
    </message>
    <message>
        <source>morvane-pwm has ended</source>
        <translation>morvane-pwm завершилась</translation>
    </message>
    <message>
        <source>morvane-pwm did not answer within %1 s: the change may or may not have been made</source>
        <translation>morvane-pwm не ответила за %1 с: изменение могло быть сделано, а могло и нет</translation>
    </message>
    <message>
        <source>morvane-pwm did not answer within %1 s</source>
        <translation>morvane-pwm не ответила за %1 с</translation>
    </message>
    <message>
        <source>morvane-pwm did not answer (%1)</source>
        <translation>morvane-pwm не ответила (%1)</translation>
    </message>
    <message>
        <source>the controller %1 was unplugged</source>
        <translation>контроллер %1 отключен</translation>
    </message>
    <message>
        <source>morvane-pwm sent a coupling result this client cannot read</source>
        <translation>morvane-pwm прислал результат измерения, который этот клиент не может прочитать</translation>
    </message>
</context>
<context>
    <name>DirectAccess</name>
    <message>
        <source>the controller did not send its configuration</source>
        <translation>контроллер не прислал свои настройки</translation>
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
        <source>cannot make the device lock (%1), so the controller cannot be shared safely; nothing was sent to it</source>
        <translation>не удалось создать блокировку устройства (%1), контроллер нельзя безопасно разделить; в него ничего не отправлено</translation>
    </message>
    <message>
        <source>the running morvane-pwm has no session bus, so morvane-pwmctl cannot reach it and it keeps the controller; use its window, or start it in a session with a D-Bus session bus</source>
        <translation>у запущенной morvane-pwm нет сеансовой шины, morvane-pwmctl не может до нее дотянуться, а контроллер остается за ней; пользуйтесь ее окном или запускайте ее в сеансе с сеансовой шиной D-Bus</translation>
    </message>
    <message>
        <source>cannot open the controller at %1: %2; install the udev rule 70-morvane-pwm.rules (the package puts it in /usr/lib/udev/rules.d), run &apos;sudo udevadm control --reload &amp;&amp; sudo udevadm trigger&apos; and replug the controller</source>
        <translation>не удалось открыть контроллер %1: %2; установите правило udev 70-morvane-pwm.rules (пакет кладет его в /usr/lib/udev/rules.d), выполните &apos;sudo udevadm control --reload &amp;&amp; sudo udevadm trigger&apos; и переподключите контроллер</translation>
    </message>
</context>
<context>
    <name>GlobalHotKeys</name>
    <message>
        <source>no system-wide hot keys: %1. Bind &quot;morvane-pwmctl up&quot; and &quot;morvane-pwmctl down&quot; to keys in the desktop&apos;s keyboard settings instead.</source>
        <translation>нет общесистемных горячих клавиш: %1. Назначьте клавиши командам &quot;morvane-pwmctl up&quot; и &quot;morvane-pwmctl down&quot; в настройках клавиатуры рабочего стола.</translation>
    </message>
    <message>
        <source>no system-wide hot keys on this display server; set the brightness in the window or from the tray icon instead</source>
        <translation>на этом дисплейном сервере нет общесистемных горячих клавиш; меняйте яркость в окне или из значка в трее</translation>
    </message>
    <message>
        <source>hot keys held by another program: %1. Free them there, or bind &quot;morvane-pwmctl up&quot; and &quot;morvane-pwmctl down&quot; to other keys in the desktop&apos;s keyboard settings</source>
        <translation>горячие клавиши заняты другой программой: %1. Освободите их там или назначьте командам &quot;morvane-pwmctl up&quot; и &quot;morvane-pwmctl down&quot; другие клавиши в настройках клавиатуры рабочего стола</translation>
    </message>
    <message>
        <source>there is no D-Bus session bus</source>
        <translation>нет сеансовой шины D-Bus</translation>
    </message>
    <message>
        <source>the desktop portal would not open a session</source>
        <translation>портал рабочего стола не открыл сеанс</translation>
    </message>
    <message>
        <source>they were declined in the desktop&apos;s dialog</source>
        <translation>от них отказались в диалоге рабочего стола</translation>
    </message>
    <message>
        <source>the desktop portal would not bind them</source>
        <translation>портал рабочего стола не назначил их</translation>
    </message>
    <message>
        <source>the desktop portal bound no keys (KDE Plasma binds them this way only from 6.1 on)</source>
        <translation>портал рабочего стола не назначил ни одной клавиши (KDE Plasma назначает их так только начиная с 6.1)</translation>
    </message>
    <message>
        <source>no desktop portal (xdg-desktop-portal) is running</source>
        <translation>портал рабочего стола (xdg-desktop-portal) не запущен</translation>
    </message>
    <message>
        <source>this desktop&apos;s portal has no global shortcuts</source>
        <translation>у портала этого рабочего стола нет глобальных сочетаний клавиш</translation>
    </message>
    <message>
        <source>the desktop portal did not answer within %1 s</source>
        <translation>портал рабочего стола не ответил за %1 с</translation>
    </message>
    <message>
        <source>the desktop portal failed: %1</source>
        <translation>ошибка портала рабочего стола: %1</translation>
    </message>
</context>
<context>
    <name>HistoryStore</name>
    <message>
        <source>cannot make its folder</source>
        <translation>не удалось создать ее папку</translation>
    </message>
    <message>
        <source>it has layout version %1 where this tool reads %2; running morvane-pwm once updates it</source>
        <translation>у нее версия структуры %1, а эта программа читает %2; один запуск morvane-pwm ее обновит</translation>
    </message>
    <message>
        <source>Qt&apos;s SQLite driver is missing (libqt6sql6-sqlite)</source>
        <translation>нет драйвера SQLite для Qt (libqt6sql6-sqlite)</translation>
    </message>
    <message>
        <source>another program holds it</source>
        <translation>ее занимает другая программа</translation>
    </message>
    <message>
        <source>it is damaged</source>
        <translation>она повреждена</translation>
    </message>
    <message>
        <source>it is damaged and cannot be moved aside</source>
        <translation>она повреждена, и ее не удалось отложить в сторону</translation>
    </message>
    <message>
        <source>it cannot use a write-ahead log</source>
        <translation>она не может вести журнал упреждающей записи</translation>
    </message>
    <message>
        <source>a newer version of morvane-pwm wrote it (layout version %1)</source>
        <translation>ее записала более новая версия morvane-pwm (версия структуры %1)</translation>
    </message>
    <message>
        <source>no history: %1: %2</source>
        <translation>истории нет: %1: %2</translation>
    </message>
    <message>
        <source>there is no history yet: morvane-pwm records it at %1 while it runs with the controller</source>
        <translation>истории пока нет: morvane-pwm записывает ее в %1, пока работает с контроллером</translation>
    </message>
    <message>
        <source>it cannot be opened (%1)</source>
        <translation>ее не удается открыть (%1)</translation>
    </message>
    <message>
        <source>it cannot be checked (%1)</source>
        <translation>ее не удается проверить (%1)</translation>
    </message>
    <message>
        <source>its tables cannot be made (%1)</source>
        <translation>в ней не удается создать таблицы (%1)</translation>
    </message>
    <message>
        <source>it cannot be written (%1)</source>
        <translation>в нее не удается записать (%1)</translation>
    </message>
    <message>
        <source>old records cannot be removed (%1)</source>
        <translation>из нее не удается удалить старые записи (%1)</translation>
    </message>
    <message>
        <source>history: %1: the records made before controllers had lasting identities stay apart (%2)</source>
        <translation>история: %1: записи, сделанные до того, как у контроллеров появились постоянные идентификаторы, остаются отдельно (%2)</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a lasting identity</source>
        <translation>«%1» — не постоянный идентификатор</translation>
    </message>
    <message>
        <source>%1 cannot be added to the controllers</source>
        <translation>%1 не удается добавить к контроллерам</translation>
    </message>
</context>
<context>
    <name>HistoryWriter</name>
    <message>
        <source>history: %1 was damaged; it was moved to %2 and a new history begins</source>
        <translation>история: %1 была повреждена; она перенесена в %2, начинается новая история</translation>
    </message>
</context>
<context>
    <name>HuntingNotifier</name>
    <message>
        <source>Измерить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Яркость раскачивалась сама при неизменном внешнем свете. Измерьте, сколько света лампы доходит до датчика, и сделайте этот участок кривой положе.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Яркость раскачивалась сама при неизменном внешнем свете. Измерьте, сколько света лампы доходит до датчика («Кривая…», «Измерить свет лампы…»), и сделайте этот участок кривой положе.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Свет лампы, похоже, попадает на датчик</source>
        <translation type="unfinished"></translation>
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
    <name>LevelNotifier</name>
    <message>
        <source>Яркость контроллеров</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LevelWords</name>
    <message>
        <source>Яркость %1 % (ручная)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Яркость %1 % (автоматическая)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер не отвечает</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер не подключен</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер не отвечает с %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Последние показания: освещенность %1, %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Освещенность %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Горячие клавиши не работают</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LightTimeView</name>
    <message>
        <source>Яркость, %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Освещенность</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>За это время истории нет</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>раскачка яркости</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Раскачка яркости с %1 до %2 (поворотов: %3) при неизменном внешнем свете. Похоже, свет лампы попадает на датчик: измерьте его («Измерить свет лампы…») и сделайте этот участок кривой положе.</source>
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
        <source>morvane-pwm: cannot open the controller at %1: %2; install the tool&apos;s udev rule 70-morvane-pwm.rules (the package puts it in /usr/lib/udev/rules.d), run &apos;sudo udevadm control --reload &amp;&amp; sudo udevadm trigger&apos; and replug the controller</source>
        <translation>morvane-pwm: не удается открыть контроллер %1: %2; установите правило udev программы 70-morvane-pwm.rules (пакет кладет его в /usr/lib/udev/rules.d), выполните &apos;sudo udevadm control --reload &amp;&amp; sudo udevadm trigger&apos; и переподключите контроллер</translation>
    </message>
</context>
<context>
    <name>Outcome</name>
    <message>
        <source>No controller is connected.</source>
        <translation>Контроллер не подключен.</translation>
    </message>
    <message>
        <source>The controller&apos;s configuration is still being read; try again in a moment.</source>
        <translation>Настройки контроллера еще загружаются; повторите чуть позже.</translation>
    </message>
    <message>
        <source>The controller did not identify as version %1.</source>
        <translation>Контроллер не опознан как версия %1.</translation>
    </message>
    <message>
        <source>Manual regulation is off; switch it on first.</source>
        <translation>Ручная регулировка выключена; сначала включите ее.</translation>
    </message>
    <message>
        <source>The level is out of range: 0..%1.</source>
        <translation>Уровень вне диапазона: 0..%1.</translation>
    </message>
    <message>
        <source>The window holds edits that were not applied; apply or discard them there first.</source>
        <translation>В окне есть непримененные изменения; сначала примените или отмените их там.</translation>
    </message>
    <message>
        <source>Another program has the controller open.</source>
        <translation>Контроллер открыт другой программой.</translation>
    </message>
    <message>
        <source>%1 has the controller open.</source>
        <translation>Контроллер открыт программой %1.</translation>
    </message>
    <message>
        <source>An earlier write is still on its way; try again in a moment.</source>
        <translation>Предыдущая запись еще не завершена; повторите чуть позже.</translation>
    </message>
    <message>
        <source>Done.</source>
        <translation>Готово.</translation>
    </message>
    <message>
        <source>The controller did not confirm it: it may or may not have taken it.</source>
        <translation>Контроллер не подтвердил: он мог принять это, а мог и нет.</translation>
    </message>
    <message>
        <source>Nothing was sent to the controller.</source>
        <translation>В контроллер ничего не отправлено.</translation>
    </message>
    <message>
        <source>The program is closing: it takes no more changes.</source>
        <translation>Программа закрывается: изменения больше не принимаются.</translation>
    </message>
    <message>
        <source>Several controllers are connected; choose one.</source>
        <translation>Подключено несколько контроллеров; выберите один.</translation>
    </message>
    <message>
        <source>Several controllers are connected (%1); choose one with --device.</source>
        <translation>Подключено несколько контроллеров (%1); выберите один с помощью --device.</translation>
    </message>
    <message>
        <source>The lamp&apos;s light is being measured; wait for the measurement to end or cancel it.</source>
        <translation>Идёт измерение света лампы; дождитесь его окончания или отмените его.</translation>
    </message>
    <message>
        <source>The measurement was cancelled; the mode and level it found are back.</source>
        <translation>Измерение отменено; режим и уровень, которые были до него, восстановлены.</translation>
    </message>
    <message>
        <source>The controller went away during the measurement.</source>
        <translation>Контроллер пропал во время измерения.</translation>
    </message>
    <message>
        <source>The controller stopped answering during the measurement.</source>
        <translation>Контроллер перестал отвечать во время измерения.</translation>
    </message>
    <message>
        <source>The program is closing; the measurement stopped and the mode and level it found are back.</source>
        <translation>Программа закрывается; измерение остановлено, режим и уровень, которые были до него, восстановлены.</translation>
    </message>
    <message>
        <source>The measurement ended without a result (%1).</source>
        <translation>Измерение закончилось без результата (%1).</translation>
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
    <name>SingleApplication</name>
    <message>
        <source>morvane-pwm: already running; this desktop gave no activation token, so its window may stay behind the others or minimised</source>
        <translation>morvane-pwm: программа уже запущена; рабочий стол не дал токена активации, поэтому ее окно может остаться за другими окнами или свернутым</translation>
    </message>
</context>
<context>
    <name>StartOptions</name>
    <message>
        <source>Start with the window hidden, in the tray (start at login uses it).</source>
        <translation>Запуститься со скрытым окном, в трее (так запускается при входе в систему).</translation>
    </message>
    <message>
        <source>Show this help and exit.</source>
        <translation>Показать эту справку и выйти.</translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation>Показать версию и выйти.</translation>
    </message>
    <message>
        <source>Usage: morvane-pwm [OPTION]

Configures a Morvane USB brightness controller.

Options:
</source>
        <translation>Использование: morvane-pwm [ПАРАМЕТР]

Настраивает USB-контроллер яркости Morvane.

Параметры:
</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>неизвестный параметр %1</translation>
    </message>
    <message>
        <source>Run &apos;morvane-pwm --help&apos; for the options.</source>
        <translation>Список параметров: &apos;morvane-pwm --help&apos;.</translation>
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
    <message>
        <source>Контроллер занят другой программой: %1. Он будет открыт, когда она его освободит.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Блокировка устройства недоступна (%1): morvane-pwmctl может мешать программе.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер не отвечает с %1; показаны последние полученные от него показания.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Настройки изменены в %1 другой программой через D-Bus (например, morvane-pwmctl).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Настройки изменены в %1 другой программой.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ручная регулировка, уровень %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Изменения настроек не применены.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TrayIcon</name>
    <message>
        <source>Показать окно</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ручная регулировка</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ярче</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Темнее</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Яркость %1 %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Работать в фоне</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запускать при входе в систему</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Показывать яркость на экране</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выход</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>TrayShell</name>
    <message>
        <source>morvane-pwm: no system tray to run in the background from; the window starts minimised instead</source>
        <translation>morvane-pwm: нет системного трея для работы в фоне; окно вместо этого запускается свернутым</translation>
    </message>
    <message>
        <source>morvane-pwm: cannot change %1: %2</source>
        <translation>morvane-pwm: не удалось изменить %1: %2</translation>
    </message>
    <message>
        <source>morvane-pwm: cannot save the preferences in %1</source>
        <translation>morvane-pwm: не удалось сохранить настройки в %1</translation>
    </message>
    <message>
        <source>morvane-pwm: no system tray to run in the background from; the window is shown instead</source>
        <translation>morvane-pwm: нет системного трея для работы в фоне; окно вместо этого показано</translation>
    </message>
    <message>
        <source>it cannot be written (%1)</source>
        <translation>его не удается записать (%1)</translation>
    </message>
    <message>
        <source>it cannot be removed (%1)</source>
        <translation>его не удается удалить (%1)</translation>
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
    <message>
        <source>Контроллер переподключен: непримененные изменения отброшены, настройки загружены из контроллера.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Настройки записываются в контроллер…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер не отвечает с %1: это последнее показание.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер не подключен, и его настроек в истории нет: показана только история.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Контроллер не подключен: кривая — последняя загруженная из него (%1). Здесь ее можно только посмотреть; применить изменения и использовать предложение можно, когда контроллер подключен.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Свет лампы доходит до датчика: между точками %1 и %2 кривая %3 (усиление %4).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Сделайте участок положе, увеличьте усреднение или задержку переключения. Применить все равно?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Применить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Отмена</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>morvane-pwm: no D-Bus interface for scripts and morvane-pwmctl (%1)</source>
        <translation>morvane-pwm: нет интерфейса D-Bus для сценариев и morvane-pwmctl (%1)</translation>
    </message>
    <message>
        <source>morvane-pwm: no device lock (%1); morvane-pwmctl may disturb the program</source>
        <translation>morvane-pwm: нет блокировки устройства (%1); morvane-pwmctl может мешать программе</translation>
    </message>
</context>
</TS>
