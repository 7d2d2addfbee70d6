<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru_RU">
<context>
    <name>CommandLine</name>
    <message>
        <source>connected, light, brightness and mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>switch manual regulation on or off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>on: the controller drives the manual level (it starts at the present brightness).
off: it follows its light curve again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>manual level: width 0..564, or 0%..100%</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sets the level of manual regulation: a PWM width from 0 to 564, or a percentage from
0% to 100%. Only in manual regulation (see &apos;manual on&apos;).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>one step brighter, as the hot key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Raises the manual level by one hot-key step (3%). Only in manual regulation.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>one step dimmer, as the hot key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lowers the manual level by one hot-key step (3%). Only in manual regulation.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the controller&apos;s configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows the light curve, the delays, the interpolation and the light averaging.
With --json, the document &apos;config export&apos; writes.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>save the configuration as JSON</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Writes the controller&apos;s configuration to FILE as JSON (&apos;-&apos;: standard output).
Nothing is written to the controller.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>write a saved configuration to the controller</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checks the whole of FILE (as &apos;config export&apos; writes it) and then writes it to the
controller; a bad file is refused, naming the first bad field, and nothing is
written. With --dry-run, only prints what would change.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no command given</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>config needs show, export or import</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>usage: morvane-pwmctl %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>manual takes on or off, not %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>level takes a width 0..%1 or a percentage 0%..100%, not %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: morvane-pwmctl %1

%2
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: morvane-pwmctl COMMAND [OPTIONS]

Controls a Morvane USB brightness controller. While morvane-pwm runs, the commands
go through it; otherwise morvane-pwmctl opens the controller itself.

Commands:
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run &apos;morvane-pwmctl --help&apos; for the commands.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>light and brightness hour by hour, and the manual corrections</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows what morvane-pwm recorded over the last N days (30 unless --days says otherwise):
per hour the light (least, mean, most), the mean brightness, the mode and the minutes
connected; then each manual change of the level. With --json one JSON object, with
--csv one table. Reads the history only; the program need not run.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a curve fitted to your manual corrections</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Proposes a light curve from the manual corrections in the history and the
configuration the controller last held, and says which points would change.
--positions time moves the points to the light levels where the time is spent
(keep: they stay). With -o, writes the proposal to FILE as a configuration that
&apos;config import&apos; accepts (&apos;-&apos;: standard output). Nothing is written to the controller.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--days takes 1..%1, not %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--positions takes keep or time, not %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shows whether a controller is connected and answers, its light reading, the brightness
it drives (percent and PWM width) and its regulation mode. With --json, one JSON object.
Exit codes: 0 the controller answers; 1 it does not answer (the readings shown are the
last it gave), another program has it open, or the status could not be read; 2 usage
error; 3 no controller is connected.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a line per change, at most two a second</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Prints the status once, then a line when it changes, until interrupted (Ctrl+C,
SIGTERM): at most one line per --interval (0.1 to 3600 seconds, 0.5 unless given);
a change within it is printed when it ends, as it then stands. With --json, one
JSON object a line, with the keys of &apos;status --json&apos; and its time. Exit codes: 0
interrupted; 1 morvane-pwm ended or the controller could not be reached; 2 usage error.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--interval takes 0.1..3600 seconds, not %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: morvane-pwmctl config show|export|import ...

The controller&apos;s configuration: the light curve and the settings beside it.

Commands:
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--device needs a value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Every command takes:
  --device SEL    the controller: its id, its serial number, its number in &apos;list&apos;, or
                  the first four or more characters of an id or serial number; needed
                  when several are connected (history and propose pick among the
                  controllers in the history, the one recorded last first)
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>
Run &apos;morvane-pwmctl COMMAND --help&apos; for more about a command, &apos;morvane-pwmctl --version&apos; for the version.
Exit codes: 0 done, 1 failed (also when the controller did not confirm a change),
2 usage error (also: several controllers and no --device), 3 no controller (or none
that --device names).
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the controllers connected, numbered</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>One line per controller: its number, its id, its serial number (&apos;-&apos; when it has
none) and whether it answers. The id, the serial number, the number or the first
four or more characters of an id or serial number pick one with --device. With
--json, a JSON array: per controller the keys of &apos;status --json&apos;. Exit codes: 0
listed; 1 one of them could not be read; 2 usage error; 3 no controller is connected.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>measure how much of the lamp&apos;s own light reaches the sensor</source>
        <translation type="unfinished"></translation>
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
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CommandRunner</name>
    <message>
        <source>light        %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>brightness   %1 (width %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mode         manual (level %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mode         automatic</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>window       has edits that are not applied</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>point</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>light</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>pwm width</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>brightness</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>step delay             %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>slide delay            %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>linear interpolation   %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>yes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>light samples          %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saved the configuration to %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2; nothing was written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Would change:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Changing:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>manual, level %1 (width %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>automatic</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no controller</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>light %1  brightness %2 (width %3)  %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>manual %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The controller already holds this configuration; nothing would be written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The controller already holds this configuration; nothing was written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Nothing recorded in the last %n day(s).</source>
        <translation>
            <numerusform>Nothing recorded in the last %n day.</numerusform>
            <numerusform>Nothing recorded in the last %n days.</numerusform>
        </translation>
    </message>
    <message>
        <source>manual change (local)  light  from  to     by</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no configuration recorded yet: run morvane-pwm with the controller once</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no proposal: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>light now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>proposed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>level now</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saved the proposal to %1; &apos;morvane-pwmctl config import %1&apos; writes it to the controller.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the controller has not answered since %1; the readings are the last it gave</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>reading it failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>writing it failed (is the disk full?)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is no such file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its folder does not exist</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>you have no permission for it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it cannot be written</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>manual</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>hot key</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>tray</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>D-Bus</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwmctl</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>hour (local)       light min  mean   max  brightness</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>mode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1; a proposal follows once it holds %2 manual changes of the level (hot keys, tray, window or morvane-pwmctl)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>connected, not answering</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>several controllers are connected (%1); choose one with --device</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 names several controllers (%2); choose one of them</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no controller in the history matches %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no controller matches %1; &apos;morvane-pwmctl list&apos; shows them</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>controller   %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of %2 steps measured</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the result was not kept in the history: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>measured     %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no coupling measured yet; &apos;morvane-pwmctl coupling&apos; measures it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>k            %1 light counts per 1% of brightness</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>R²           %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>R²           none: the readings did not change</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>light at 0%  %1 before, %2 after</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>brightness  light</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the room&apos;s light changed; measure again</source>
        <translation></translation>
    </message>
    <message>
        <source>the brightness may run away to full</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the brightness will hunt</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>warning: between points %1 and %2 the lamp&apos;s own light comes back with a loop gain of %3, so %4; flatten that segment, or raise the averaging or the switching delay</source>
        <translation type="unfinished"></translation>
    </message>
</context>
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
        <source>the document is not a JSON object</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>point %1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not a field of this format</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the text ends before its brackets or quotes close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a &apos;:&apos; or &apos;,&apos; is missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>more text follows the document&apos;s end</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>what stands there is not a JSON value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not valid JSON at byte %1: %2 (%3)</source>
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
    <name>ControllerSelector</name>
    <message>
        <source>%1 (серийный номер %2)</source>
        <translation>%1 (serial number %2)</translation>
    </message>
    <message>
        <source>Ко&amp;нтроллер:</source>
        <translation>Contr&amp;oller:</translation>
    </message>
    <message>
        <source>Контроллер</source>
        <translation>Controller</translation>
    </message>
    <message>
        <source>Контроллер, который показывает окно: его настройки, показания и кривая</source>
        <translation>The controller the window shows: its settings, readings and curve</translation>
    </message>
</context>
<context>
    <name>CurveFit</name>
    <message>
        <source>no point would change</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>point %1 would change</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>points %1 would change</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 and %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 correction</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n corrections</source>
        <translation>
            <numerusform>%n correction</numerusform>
            <numerusform>%n corrections</numerusform>
        </translation>
    </message>
    <message>
        <source>1 day</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n days</source>
        <translation>
            <numerusform>%n day</numerusform>
            <numerusform>%n days</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 over %2; %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 of the %2 manual corrections a proposal needs so far</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>every correction is near point %1; a proposal needs corrections near at least %2 points</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the corrections pull the curve back and forth; no proposal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1; slopes limited so that the lamp&apos;s own light cannot make it hunt</source>
        <translation type="unfinished"></translation>
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
    <message>
        <source>Истории освещенности пока нет</source>
        <translation>No light history yet</translation>
    </message>
    <message>
        <source>доля времени за %1 дн.</source>
        <translation>share of time over %1 days</translation>
    </message>
    <message>
        <source>может уйти на полную яркость</source>
        <translation>may run away to full brightness</translation>
    </message>
    <message>
        <source>усиливает свой же свет</source>
        <translation>amplifies its own light</translation>
    </message>
    <message>
        <source>будет раскачиваться</source>
        <translation>will hunt</translation>
    </message>
    <message>
        <source>может раскачиваться</source>
        <translation>may hunt</translation>
    </message>
</context>
<context>
    <name>CurveWindow</name>
    <message>
        <source>Кривая яркости</source>
        <translation>Brightness curve</translation>
    </message>
    <message>
        <source>Кривая</source>
        <translation>Curve</translation>
    </message>
    <message>
        <source>По времени</source>
        <translation>Over time</translation>
    </message>
    <message>
        <source>24 часа</source>
        <translation>24 hours</translation>
    </message>
    <message>
        <source>7 дней</source>
        <translation>7 days</translation>
    </message>
    <message>
        <source>Использовать предложение</source>
        <translation>Use proposal</translation>
    </message>
    <message>
        <source>Точки — где бывает свет</source>
        <translation>Points where the light is</translation>
    </message>
    <message>
        <source>Переносит точки кривой на те уровни освещенности, где проходит больше всего времени; иначе точки остаются на своих местах</source>
        <translation>Moves the curve&apos;s points to the light levels where most of the time is spent; otherwise the points stay where they are</translation>
    </message>
    <message>
        <source>Переносит предложенные точки в форму; контроллер получит их только по «Применить»</source>
        <translation>Puts the proposed points into the form; the controller gets them only with &quot;Apply&quot;</translation>
    </message>
    <message>
        <source>Сплошная линия — что делает контроллер с примененными настройками (без линейной интерполяции — ступени), пунктир с точками — правки до «Применить». Выбранная точка: ←/→ — освещенность на 1 отсчет (Shift — на 10), ↑/↓ — яркость на 1 % (PgUp/PgDn или Shift — на 10 %); Enter применяет, Esc закрывает окно. Оранжевый круг — где контроллер сейчас, лиловые точки — ручные поправки.</source>
        <translation>Solid line: what the controller does with the applied settings (steps without linear interpolation); dashed line with handles: edits until &quot;Apply&quot;. Selected point: ←/→ light by 1 count (Shift: 10), ↑/↓ brightness by 1 % (PgUp/PgDn or Shift: 10 %); Enter applies, Esc closes the window. Orange disc: where the controller is now; purple dots: manual corrections.</translation>
    </message>
    <message>
        <source>Зеленая линия с квадратами — кривая, предложенная по ручным поправкам.</source>
        <translation>The green line with squares is the curve proposed from the manual corrections.</translation>
    </message>
    <message>
        <source>Без контроллера предложение можно только посмотреть</source>
        <translation>Without a controller the proposal can only be looked at</translation>
    </message>
    <message>
        <source>Кривая в форме изменена и не применена.</source>
        <translation>The curve in the form has changes that are not applied.</translation>
    </message>
    <message>
        <source>Заменить эти изменения предложением?</source>
        <translation>Replace these changes with the proposal?</translation>
    </message>
    <message>
        <source>&amp;Заменить</source>
        <translation>&amp;Replace</translation>
    </message>
    <message>
        <source>&amp;Оставить мои</source>
        <translation>&amp;Keep mine</translation>
    </message>
    <message>
        <source>Измерить свет лампы…</source>
        <translation>Measure the lamp&apos;s light…</translation>
    </message>
    <message>
        <source>Проходит яркостью от 0 до 100 % и обратно и смотрит, сколько света лампы доходит до датчика; около минуты, потом режим и яркость возвращаются</source>
        <translation>Steps the brightness from 0 to 100 % and back and watches how much of the lamp&apos;s light reaches the sensor; about a minute, then the mode and level are put back</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Измерение прервано: контроллер отключен</source>
        <translation>The measurement stopped: the controller was unplugged</translation>
    </message>
    <message>
        <source>Измерение прервано: контроллер перестал отвечать</source>
        <translation>The measurement stopped: the controller stopped answering</translation>
    </message>
    <message>
        <source>Измерить не удалось: %1</source>
        <translation>Could not measure: %1</translation>
    </message>
    <message>
        <source>Измеряется свет лампы на датчике…</source>
        <translation>Measuring the lamp&apos;s light on the sensor…</translation>
    </message>
    <message>
        <source>Свет лампы на датчике: %1 отсчета на 1 % яркости (измерено %2)</source>
        <translation>The lamp&apos;s light on the sensor: %1 counts per 1 % of brightness (measured %2)</translation>
    </message>
    <message>
        <source>%1; свет в комнате менялся, лучше измерить еще раз</source>
        <translation>%1; the room&apos;s light changed, better measure again</translation>
    </message>
    <message>
        <source>Сколько света лампы доходит до датчика, не измерено</source>
        <translation>How much of the lamp&apos;s light reaches the sensor has not been measured</translation>
    </message>
    <message>
        <source>Точки %1–%2: %3 (усиление до %4). Сделайте участок положе, увеличьте усреднение или задержку переключения.</source>
        <translation>Points %1–%2: %3 (gain up to %4). Flatten the segment, or raise the averaging or the switching delay.</translation>
    </message>
</context>
<context>
    <name>DbusAccess</name>
    <message>
        <source>morvane-pwm sent a configuration this client cannot read: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwm has ended</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwm did not answer within %1 s: the change may or may not have been made</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwm did not answer within %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwm did not answer (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the controller %1 was unplugged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwm sent a coupling result this client cannot read</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>DirectAccess</name>
    <message>
        <source>the controller did not send its configuration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the controller did not answer when asked who it is</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the controller reports version %1; this tool knows version %2 only</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot make the device lock (%1), so the controller cannot be shared safely; nothing was sent to it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the running morvane-pwm has no session bus, so morvane-pwmctl cannot reach it and it keeps the controller; use its window, or start it in a session with a D-Bus session bus</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot open the controller at %1: %2; install the udev rule 70-morvane-pwm.rules (the package puts it in /usr/lib/udev/rules.d), run &apos;sudo udevadm control --reload &amp;&amp; sudo udevadm trigger&apos; and replug the controller</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>GlobalHotKeys</name>
    <message>
        <source>no system-wide hot keys: %1. Bind &quot;morvane-pwmctl up&quot; and &quot;morvane-pwmctl down&quot; to keys in the desktop&apos;s keyboard settings instead.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no system-wide hot keys on this display server; set the brightness in the window or from the tray icon instead</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>hot keys held by another program: %1. Free them there, or bind &quot;morvane-pwmctl up&quot; and &quot;morvane-pwmctl down&quot; to other keys in the desktop&apos;s keyboard settings</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is no D-Bus session bus</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the desktop portal would not open a session</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>they were declined in the desktop&apos;s dialog</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the desktop portal would not bind them</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the desktop portal bound no keys (KDE Plasma binds them this way only from 6.1 on)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no desktop portal (xdg-desktop-portal) is running</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>this desktop&apos;s portal has no global shortcuts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the desktop portal did not answer within %1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the desktop portal failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryStore</name>
    <message>
        <source>cannot make its folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it has layout version %1 where this tool reads %2; running morvane-pwm once updates it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Qt&apos;s SQLite driver is missing (libqt6sql6-sqlite)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>another program holds it</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is damaged</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it is damaged and cannot be moved aside</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it cannot use a write-ahead log</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a newer version of morvane-pwm wrote it (layout version %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no history: %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>there is no history yet: morvane-pwm records it at %1 while it runs with the controller</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it cannot be opened (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it cannot be checked (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>its tables cannot be made (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it cannot be written (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>old records cannot be removed (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>history: %1: the records made before controllers had lasting identities stay apart (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a lasting identity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 cannot be added to the controllers</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryWriter</name>
    <message>
        <source>history: %1 was damaged; it was moved to %2 and a new history begins</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HuntingNotifier</name>
    <message>
        <source>Измерить</source>
        <translation>Measure</translation>
    </message>
    <message>
        <source>Яркость раскачивалась сама при неизменном внешнем свете. Измерьте, сколько света лампы доходит до датчика, и сделайте этот участок кривой положе.</source>
        <translation>The brightness went back and forth by itself while the room&apos;s light stayed the same. Measure how much of the lamp&apos;s light reaches the sensor, and make that part of the curve flatter.</translation>
    </message>
    <message>
        <source>Яркость раскачивалась сама при неизменном внешнем свете. Измерьте, сколько света лампы доходит до датчика («Кривая…», «Измерить свет лампы…»), и сделайте этот участок кривой положе.</source>
        <translation>The brightness went back and forth by itself while the room&apos;s light stayed the same. Measure how much of the lamp&apos;s light reaches the sensor (“Curve…”, “Measure the lamp&apos;s light…”), and make that part of the curve flatter.</translation>
    </message>
    <message>
        <source>Свет лампы, похоже, попадает на датчик</source>
        <translation>The lamp&apos;s light seems to reach the sensor</translation>
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
    <name>LevelNotifier</name>
    <message>
        <source>Яркость контроллеров</source>
        <translation>Controllers&apos; brightness</translation>
    </message>
</context>
<context>
    <name>LevelWords</name>
    <message>
        <source>Яркость %1 % (ручная)</source>
        <translation>Brightness %1 % (manual)</translation>
    </message>
    <message>
        <source>Яркость %1 % (автоматическая)</source>
        <translation>Brightness %1 % (automatic)</translation>
    </message>
    <message>
        <source>Контроллер не отвечает</source>
        <translation>The controller does not answer</translation>
    </message>
    <message>
        <source>Контроллер не подключен</source>
        <translation>No controller connected</translation>
    </message>
    <message>
        <source>Контроллер не отвечает с %1</source>
        <translation>The controller has not answered since %1</translation>
    </message>
    <message>
        <source>Последние показания: освещенность %1, %2</source>
        <translation>Last readings: light %1, %2</translation>
    </message>
    <message>
        <source>Освещенность %1</source>
        <translation>Light %1</translation>
    </message>
    <message>
        <source>Горячие клавиши не работают</source>
        <translation>The hot keys do not work</translation>
    </message>
</context>
<context>
    <name>LightTimeView</name>
    <message>
        <source>Яркость, %</source>
        <translation>Brightness, %</translation>
    </message>
    <message>
        <source>Освещенность</source>
        <translation>Light</translation>
    </message>
    <message>
        <source>За это время истории нет</source>
        <translation>No history for this time</translation>
    </message>
    <message>
        <source>раскачка яркости</source>
        <translation>brightness hunting</translation>
    </message>
    <message>
        <source>Раскачка яркости с %1 до %2 (поворотов: %3) при неизменном внешнем свете. Похоже, свет лампы попадает на датчик: измерьте его («Измерить свет лампы…») и сделайте этот участок кривой положе.</source>
        <translation>Brightness hunting from %1 to %2 (%3 turns) while the room&apos;s light stayed the same. The lamp&apos;s light seems to reach the sensor: measure it (“Measure the lamp&apos;s light…”) and make this part of the curve flatter.</translation>
    </message>
</context>
<context>
    <name>OpenFailureNotice</name>
    <message>
        <source>unknown error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwm: cannot open the controller at %1: %2; install the tool&apos;s udev rule 70-morvane-pwm.rules (the package puts it in /usr/lib/udev/rules.d), run &apos;sudo udevadm control --reload &amp;&amp; sudo udevadm trigger&apos; and replug the controller</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>Outcome</name>
    <message>
        <source>No controller is connected.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The controller&apos;s configuration is still being read; try again in a moment.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The controller did not identify as version %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manual regulation is off; switch it on first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The level is out of range: 0..%1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The window holds edits that were not applied; apply or discard them there first.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Another program has the controller open.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 has the controller open.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An earlier write is still on its way; try again in a moment.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The controller did not confirm it: it may or may not have taken it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nothing was sent to the controller.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The program is closing: it takes no more changes.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Several controllers are connected; choose one.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Several controllers are connected (%1); choose one with --device.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The lamp&apos;s light is being measured; wait for the measurement to end or cancel it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The measurement was cancelled; the mode and level it found are back.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The controller went away during the measurement.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The controller stopped answering during the measurement.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The program is closing; the measurement stopped and the mode and level it found are back.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The measurement ended without a result (%1).</source>
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
    <name>SingleApplication</name>
    <message>
        <source>morvane-pwm: already running; this desktop gave no activation token, so its window may stay behind the others or minimised</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StartOptions</name>
    <message>
        <source>Start with the window hidden, in the tray (start at login uses it).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show this help and exit.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show the version and exit.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: morvane-pwm [OPTION]

Configures a Morvane USB brightness controller.

Options:
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run &apos;morvane-pwm --help&apos; for the options.</source>
        <translation type="unfinished"></translation>
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
    <message>
        <source>Контроллер занят другой программой: %1. Он будет открыт, когда она его освободит.</source>
        <translation>The controller is in use by another program: %1. It will be opened once that program lets it go.</translation>
    </message>
    <message>
        <source>Блокировка устройства недоступна (%1): morvane-pwmctl может мешать программе.</source>
        <translation>No device lock (%1): morvane-pwmctl may disturb the program.</translation>
    </message>
    <message>
        <source>Контроллер не отвечает с %1; показаны последние полученные от него показания.</source>
        <translation>The controller has not answered since %1; the readings shown are the last ones it gave.</translation>
    </message>
    <message>
        <source>Настройки изменены в %1 другой программой через D-Bus (например, morvane-pwmctl).</source>
        <translation>Another program changed the settings at %1 over D-Bus (morvane-pwmctl, for one).</translation>
    </message>
    <message>
        <source>Настройки изменены в %1 другой программой.</source>
        <translation>Another program changed the settings at %1.</translation>
    </message>
    <message>
        <source>Ручная регулировка, уровень %1.</source>
        <translation>Manual regulation, level %1.</translation>
    </message>
    <message>
        <source>Изменения настроек не применены.</source>
        <translation>Edits to the settings are not applied.</translation>
    </message>
    <message>
        <source>Контроллер %1</source>
        <translation>Controller %1</translation>
    </message>
</context>
<context>
    <name>TrayIcon</name>
    <message>
        <source>Показать окно</source>
        <translation>Show window</translation>
    </message>
    <message>
        <source>Ручная регулировка</source>
        <translation>Manual regulation</translation>
    </message>
    <message>
        <source>Ярче</source>
        <translation>Brighter</translation>
    </message>
    <message>
        <source>Темнее</source>
        <translation>Dimmer</translation>
    </message>
    <message>
        <source>Яркость %1 %</source>
        <translation>Brightness %1 %</translation>
    </message>
    <message>
        <source>Работать в фоне</source>
        <translation>Keep running in the background</translation>
    </message>
    <message>
        <source>Запускать при входе в систему</source>
        <translation>Start at login</translation>
    </message>
    <message>
        <source>Показывать яркость на экране</source>
        <translation>Show the level on screen</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Quit</translation>
    </message>
</context>
<context>
    <name>TrayShell</name>
    <message>
        <source>morvane-pwm: no system tray to run in the background from; the window starts minimised instead</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwm: cannot change %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwm: cannot save the preferences in %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwm: no system tray to run in the background from; the window is shown instead</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it cannot be written (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>it cannot be removed (%1)</source>
        <translation type="unfinished"></translation>
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
    <message>
        <source>Контроллер переподключен: непримененные изменения отброшены, настройки загружены из контроллера.</source>
        <translation>The controller was reconnected: unapplied edits were dropped and its settings loaded again.</translation>
    </message>
    <message>
        <source>Настройки записываются в контроллер…</source>
        <translation>Writing the settings to the controller…</translation>
    </message>
    <message>
        <source>Контроллер не отвечает с %1: это последнее показание.</source>
        <translation>The controller has not answered since %1: this is its last reading.</translation>
    </message>
    <message>
        <source>Контроллер не подключен, и его настроек в истории нет: показана только история.</source>
        <translation>No controller is connected and the history holds no settings of one: only the history is shown.</translation>
    </message>
    <message>
        <source>Контроллер не подключен: кривая — последняя загруженная из него (%1). Здесь ее можно только посмотреть; применить изменения и использовать предложение можно, когда контроллер подключен.</source>
        <translation>No controller is connected: the curve is the one last loaded from it (%1). It can only be looked at here; changes can be applied and the proposal used once the controller is connected.</translation>
    </message>
    <message>
        <source>Свет лампы доходит до датчика: между точками %1 и %2 кривая %3 (усиление %4).</source>
        <translation>The lamp&apos;s light reaches the sensor: between points %1 and %2 the curve %3 (gain %4).</translation>
    </message>
    <message>
        <source>Сделайте участок положе, увеличьте усреднение или задержку переключения. Применить все равно?</source>
        <translation>Flatten the segment, or raise the averaging or the switching delay. Apply anyway?</translation>
    </message>
    <message>
        <source>&amp;Применить</source>
        <translation>&amp;Apply</translation>
    </message>
    <message>
        <source>&amp;Отмена</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>morvane-pwm: no D-Bus interface for scripts and morvane-pwmctl (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>morvane-pwm: no device lock (%1); morvane-pwmctl may disturb the program</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
