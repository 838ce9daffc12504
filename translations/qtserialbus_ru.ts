<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>QModbusClient</name>
    <message>
        <source>Request timeout.</source>
        <translation>Истекло время ожидания ответа.</translation>
    </message>
    <message>
        <source>Invalid Modbus request.</source>
        <translation>Недопустимый запрос.</translation>
    </message>
    <message>
        <source>An invalid response has been received.</source>
        <translation>Получен неверный ответ.</translation>
    </message>
    <message>
        <source>Modbus Exception Response.</source>
        <translation>Устройство ответило исключением.</translation>
    </message>
    <message>
        <source>Device not connected.</source>
        <translation>Нет связи с устройством.</translation>
    </message>
    <message>
        <source>Reply aborted due to connection closure.</source>
        <translation>Ответ прерван: соединение закрыто.</translation>
    </message>
    <message>
        <source>TCP socket error (%1).</source>
        <translation>Ошибка сетевого соединения (%1).</translation>
    </message>
</context>
<context>
    <name>QModbusDevice</name>
    <message>
        <source>Referenced serial device does not exist.</source>
        <translation>Последовательный порт не найден.</translation>
    </message>
    <message>
        <source>Cannot open serial device due to permissions.</source>
        <translation>Нет доступа к последовательному порту (он занят или нет прав).</translation>
    </message>
    <message>
        <source>Cannot open serial device.</source>
        <translation>Не удалось открыть последовательный порт.</translation>
    </message>
    <message>
        <source>Write error.</source>
        <translation>Ошибка записи в порт.</translation>
    </message>
    <message>
        <source>Read error.</source>
        <translation>Ошибка чтения из порта.</translation>
    </message>
    <message>
        <source>Resource error.</source>
        <translation>Порт стал недоступен.</translation>
    </message>
    <message>
        <source>Timeout error.</source>
        <translation>Истекло время ожидания порта.</translation>
    </message>
    <message>
        <source>Unknown error.</source>
        <translation>Неизвестная ошибка.</translation>
    </message>
    <message>
        <source>Device operation is not supported error.</source>
        <translation>Порт не поддерживает эту операцию.</translation>
    </message>
</context>
<context>
    <name>QModbusTcpClient</name>
    <message>
        <source>Could not write request to socket.</source>
        <translation>Не удалось отправить запрос в сеть.</translation>
    </message>
    <message>
        <source>Invalid connection settings for TCP communication specified.</source>
        <translation>Неверные параметры сетевого соединения.</translation>
    </message>
</context>
</TS>
