<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="zh_CN">
<context>
    <name>CANbaudRateCalculator</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>波特率:</source>
        <translation>Bit rate:</translation>
    </message>
    <message>
        <source>kbps</source>
        <translation>kbps</translation>
    </message>
    <message>
        <source>计算</source>
        <translation>Calculate</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Bit rate</translation>
    </message>
    <message>
        <source>采样点</source>
        <translation>Sample pt</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>OK</translation>
    </message>
    <message>
        <source> 波特率计算器</source>
        <translation> Bit Rate Calculator</translation>
    </message>
</context>
<context>
    <name>DeviceManagement</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>选择串口</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>打开设备</source>
        <translation>Open Device</translation>
    </message>
    <message>
        <source>关闭设备</source>
        <translation>Close Device</translation>
    </message>
    <message>
        <source>设备描述</source>
        <translation>Device Description</translation>
    </message>
    <message>
        <source>设备型号:</source>
        <translation>Model:</translation>
    </message>
    <message>
        <source>RCAN-U01</source>
        <translation>RCAN-U01</translation>
    </message>
    <message>
        <source>固件类型:</source>
        <translation>Firmware:</translation>
    </message>
    <message>
        <source>V1.0</source>
        <translation>V1.0</translation>
    </message>
    <message>
        <source>通道数量:</source>
        <translation>Channels:</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>通道控制</source>
        <translation>Channel Control</translation>
    </message>
    <message>
        <source>通道1:</source>
        <translation>Channel 1:</translation>
    </message>
    <message>
        <source>波特率:</source>
        <translation>Bit rate:</translation>
    </message>
    <message>
        <source>启动通道</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>关闭通道</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>通道2:</source>
        <translation>Channel 2:</translation>
    </message>
    <message>
        <source>1000kbps</source>
        <translation>1000kbps</translation>
    </message>
    <message>
        <source>800kbps</source>
        <translation>800kbps</translation>
    </message>
    <message>
        <source>500kbps</source>
        <translation>500kbps</translation>
    </message>
    <message>
        <source>250kbps</source>
        <translation>250kbps</translation>
    </message>
    <message>
        <source>125kbps</source>
        <translation>125kbps</translation>
    </message>
    <message>
        <source>100kbps</source>
        <translation>100kbps</translation>
    </message>
    <message>
        <source>50kbps</source>
        <translation>50kbps</translation>
    </message>
    <message>
        <source>20kbps</source>
        <translation>20kbps</translation>
    </message>
    <message>
        <source>10kbps</source>
        <translation>10kbps</translation>
    </message>
    <message>
        <source>5kbps</source>
        <translation>5kbps</translation>
    </message>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source> 设备管理</source>
        <translation> Device Management</translation>
    </message>
    <message>
        <source>通道1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>%1 上的设备报告 %2 个通道；本程序只支持两通道的 RCAN-U01。</source>
        <translation>The device on %1 reports %2 channels; this program works only with the two-channel RCAN-U01.</translation>
    </message>
    <message>
        <source>%1 上的设备没有应答打开命令。请检查适配器是否已插好、端口是否选对。</source>
        <translation>The device on %1 did not answer the open command. Check that the adapter is plugged in and the right port is chosen.</translation>
    </message>
    <message>
        <source>无法打开串口 %1：%2。若是没有访问权限，请按 README 安装 udev 规则 70-rcan-tools.rules 后重新插入适配器；该端口也可能正被其他程序占用。</source>
        <translation>Cannot open the serial port %1: %2. Without access rights, install the udev rule 70-rcan-tools.rules as the README describes and plug the adapter in again; the port may also be in use by another program.</translation>
    </message>
    <message>
        <source>无法打开串口 %1：%2。</source>
        <translation>Cannot open the serial port %1: %2.</translation>
    </message>
    <message>
        <source>端口不存在</source>
        <translation>no such port</translation>
    </message>
    <message>
        <source>没有权限或已被占用</source>
        <translation>no access rights, or in use</translation>
    </message>
    <message>
        <source>端口已经打开</source>
        <translation>already open</translation>
    </message>
    <message>
        <source>系统错误</source>
        <translation>system error</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>通道%1 拒绝了波特率 %2。</source>
        <translation>Channel %1 refused the bit rate %2.</translation>
    </message>
    <message>
        <source>适配器没有应答通道%1 的波特率 %2 设置。</source>
        <translation>The adapter did not answer the bit rate %2 for channel %1.</translation>
    </message>
    <message>
        <source>适配器没有应答通道%1 的关闭命令，通道仍在运行。</source>
        <translation>The adapter did not answer the stop command for channel %1; the channel is still running.</translation>
    </message>
    <message>
        <source>适配器已拔出（串口 %1 已消失），设备已关闭。</source>
        <translation>The adapter was unplugged (serial port %1 is gone); the device is closed.</translation>
    </message>
</context>
<context>
    <name>RAZOradurodMainWindow</name>
    <message>
        <source>RCAN Tools</source>
        <translation>RCAN Tools</translation>
    </message>
    <message>
        <source>设备管理</source>
        <translation>Device Manager</translation>
    </message>
    <message>
        <source>发送数据</source>
        <translation>Send Data</translation>
    </message>
    <message>
        <source>总线利用率</source>
        <translation>Bus Load</translation>
    </message>
    <message>
        <source>设置&amp;帮助</source>
        <translation>Settings &amp; Help</translation>
    </message>
    <message>
        <source>切换到中文</source>
        <translation>Switch to Chinese</translation>
    </message>
    <message>
        <source>切换到英文</source>
        <translation>Switch to English</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>信号</source>
        <translation>Signals</translation>
    </message>
    <message>
        <source>信号监视</source>
        <translation>Signal watch</translation>
    </message>
    <message>
        <source>信号曲线</source>
        <translation>Signal plot</translation>
    </message>
    <message>
        <source>CAN数据库...</source>
        <translation>CAN databases...</translation>
    </message>
    <message>
        <source>历史记录容量...</source>
        <translation>History size...</translation>
    </message>
</context>
<context>
    <name>RivexAbout</name>
    <message>
        <source> 关于</source>
        <translation> About</translation>
    </message>
    <message>
        <source>作者：RCAN Tools 开发组</source>
        <translation>Author: the RCAN Tools developers</translation>
    </message>
    <message>
        <source>技术支持热线：暂未开通，请通过电子邮箱联系</source>
        <translation>Support hotline: not yet available, please write an e-mail</translation>
    </message>
    <message>
        <source>电子邮箱：support@rcan-tools.example</source>
        <translation>E-mail: support@rcan-tools.example</translation>
    </message>
    <message>
        <source>通信地址：仅提供线上支持，不接收信件</source>
        <translation>Postal address: online support only, no letters please</translation>
    </message>
    <message>
        <source>&lt;a href=&quot;https://rcan-tools.example/&quot;&gt;访问项目主页，获取更新和使用说明&lt;/a&gt;</source>
        <translation>&lt;a href=&quot;https://rcan-tools.example/&quot;&gt;Visit the project page for updates and the user guide&lt;/a&gt;</translation>
    </message>
    <message>
        <source>本软件按现状提供，不附带任何明示或暗示的担保。</source>
        <translation>This software is provided as is, without any express or implied warranty.</translation>
    </message>
</context>
<context>
    <name>tablePanel_Widget</name>
    <message>
        <source>帧发送</source>
        <translation>Frame Send</translation>
    </message>
    <message>
        <source>通道:</source>
        <translation>Channel:</translation>
    </message>
    <message>
        <source>帧类型:</source>
        <translation>Frame type:</translation>
    </message>
    <message>
        <source>帧格式:</source>
        <translation>Frame format:</translation>
    </message>
    <message>
        <source>帧ID:0x</source>
        <translation>Frame ID: 0x</translation>
    </message>
    <message>
        <source>发送次数:</source>
        <translation>Send count:</translation>
    </message>
    <message>
        <source>每次间隔(ms):</source>
        <translation>Interval (ms):</translation>
    </message>
    <message>
        <source>数据长度:</source>
        <translation>Data length:</translation>
    </message>
    <message>
        <source>数据:0x</source>
        <translation>Data: 0x</translation>
    </message>
    <message>
        <source>ID递增</source>
        <translation>ID increment</translation>
    </message>
    <message>
        <source>数据递增</source>
        <translation>Data increment</translation>
    </message>
    <message>
        <source>帧名称:</source>
        <translation>Frame name:</translation>
    </message>
    <message>
        <source>添加到列表</source>
        <translation>Add to List</translation>
    </message>
    <message>
        <source>立即发送</source>
        <translation>Send Now</translation>
    </message>
    <message>
        <source>停止发送</source>
        <translation>Stop Sending</translation>
    </message>
    <message>
        <source>发送时间(s):</source>
        <translation>Send time (s):</translation>
    </message>
    <message>
        <source>列表发送</source>
        <translation>List Send</translation>
    </message>
    <message>
        <source>标准帧</source>
        <translation>Standard frame</translation>
    </message>
    <message>
        <source>扩展帧</source>
        <translation>Extended frame</translation>
    </message>
    <message>
        <source>数据帧</source>
        <translation>Data frame</translation>
    </message>
    <message>
        <source>远程帧</source>
        <translation>Remote frame</translation>
    </message>
    <message>
        <source>通道1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>发送失败 通道</source>
        <translation>Send failed: channel </translation>
    </message>
    <message>
        <source>设备未响应</source>
        <translation>The device did not respond.</translation>
    </message>
    <message>
        <source>设备发送失败</source>
        <translation>The device could not send the frame.</translation>
    </message>
    <message>
        <source>设备已断开，发送已停止</source>
        <translation>The device is disconnected; sending has stopped</translation>
    </message>
    <message>
        <source>从数据库...</source>
        <translation>From database...</translation>
    </message>
    <message>
        <source>填入发送面板</source>
        <translation>Fill in the send panel</translation>
    </message>
</context>
<context>
    <name>KeyBoard</name>
    <message>
        <source>数据矩阵</source>
        <translation>Data Matrix</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>generallyFrameSendWidget</name>
    <message>
        <source> CAN发送</source>
        <translation> CAN Send</translation>
    </message>
    <message>
        <source>已连接设备：</source>
        <translation>Connected device: </translation>
    </message>
    <message>
        <source>列表发送</source>
        <translation>Transmit list</translation>
    </message>
</context>
<context>
    <name>OccupancyRate_Widget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>通道1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>占用率:</source>
        <translation>Bus load:</translation>
    </message>
    <message>
        <source>0.00%</source>
        <translation>0.00%</translation>
    </message>
    <message>
        <source>总线速度:</source>
        <translation>Frame rate:</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>帧/秒</source>
        <translation>frames/s</translation>
    </message>
    <message>
        <source>通道2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source> CAN总线占用率</source>
        <translation> CAN Bus Load</translation>
    </message>
    <message>
        <source>历史点位（个）</source>
        <translation>History (samples)</translation>
    </message>
    <message>
        <source>总线利用率（%）</source>
        <translation>Bus load (%)</translation>
    </message>
</context>
<context>
    <name>CANTableWidget</name>
    <message>
        <source>序号</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>时间标识</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>源通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>帧ID</source>
        <translation>Frame ID</translation>
    </message>
    <message>
        <source>CAN类型</source>
        <translation>CAN type</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Dir</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
</context>
<context>
    <name>CANView_Widget</name>
    <message>
        <source>当前设备：</source>
        <translation>Current device:</translation>
    </message>
    <message>
        <source>筛选中 %p%</source>
        <translation>Filtering %p%</translation>
    </message>
    <message>
        <source>时间类型:</source>
        <translation>Time type:</translation>
    </message>
    <message>
        <source>系统时间</source>
        <translation>System time</translation>
    </message>
    <message>
        <source>时间戳(秒)</source>
        <translation>Time stamp (s)</translation>
    </message>
    <message>
        <source>实时保存</source>
        <translation>Real-time save</translation>
    </message>
    <message>
        <source>停止实时保存</source>
        <translation>Stop real-time save</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>清空</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>接收帧计数：</source>
        <translation>Frames received:</translation>
    </message>
    <message>
        <source>发送帧计数：</source>
        <translation>Frames sent:</translation>
    </message>
    <message>
        <source>错误帧计数：</source>
        <translation>Error frames:</translation>
    </message>
    <message>
        <source>保存失败</source>
        <translation>Saving failed</translation>
    </message>
    <message>
        <source>无法开始实时保存。
文件：%1
原因：%2</source>
        <translation>Real-time saving could not start.
File: %1
Reason: %2</translation>
    </message>
    <message>
        <source>实时保存已停止：写入失败。
文件：%1
原因：%2</source>
        <translation>Real-time saving stopped: a write failed.
File: %1
Reason: %2</translation>
    </message>
    <message>
        <source>保存失败，文件未被改动。
文件：%1
原因：%2</source>
        <translation>Saving failed; the file was left as it was.
File: %1
Reason: %2</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>通道正在运行，不能打开日志。请先停止通道。</source>
        <translation>A channel is running, so a log cannot be opened. Stop the channels first.</translation>
    </message>
    <message>
        <source>无法读取文件“%1”。</source>
        <translation>The file “%1” cannot be read.</translation>
    </message>
    <message>
        <source>“%1”不是可识别的 CAN 日志。可以打开的格式：RCAN 文本日志、candump 日志、Vector ASC 和 PEAK TRC 1.0 至 2.1。</source>
        <translation>“%1” is not a CAN log this program knows. It opens RCAN text logs, candump logs, Vector ASC and PEAK TRC 1.0 to 2.1.</translation>
    </message>
    <message>
        <source>历史记录中有尚未保存的帧，打开日志会替换它们。仍要打开吗？</source>
        <translation>The history holds frames that were not saved. Opening a log replaces them. Open it anyway?</translation>
    </message>
    <message>
        <source>打开日志</source>
        <translation>Open log</translation>
    </message>
    <message>
        <source>文件中有 %1 帧，历史记录最多保存 %2 帧：最早的 %3 帧没有载入。</source>
        <translation>The file holds %1 frames and the history keeps at most %2: the oldest %3 frames were not loaded.</translation>
    </message>
    <message>
        <source>有 %1 行无法识别，已跳过。第一行是第 %2 行：%3</source>
        <translation>%1 lines were not understood and were skipped. The first is line %2: %3</translation>
    </message>
    <message>
        <source>有 %1 行没有载入，第一行是第 %2 行：%3</source>
        <translation>%1 lines were not loaded. The first is line %2: %3</translation>
    </message>
    <message>
        <source>日志：%1</source>
        <translation>Log: %1</translation>
    </message>
    <message>
        <source>日志：%1（未读完）</source>
        <translation>Log: %1 (not read to the end)</translation>
    </message>
    <message>
        <source>总览</source>
        <translation>Overview</translation>
    </message>
    <message>
        <source>按帧ID总览：计数、周期、变化的字节。再按一次回到逐帧列表。</source>
        <translation>One row per frame ID: counts, cycle times, changing bytes. Press again for the frame list.</translation>
    </message>
    <message>
        <source>另有 %1 帧属于未列出的帧ID：总览最多列出 %2 个帧ID。</source>
        <translation>%1 more frames belong to frame IDs not listed: the overview lists at most %2 frame IDs.</translation>
    </message>
    <message>
        <source>适配器正在发送帧，但表格显示的是日志文件：这些帧没有记录。要看实时帧，请先清空表格。</source>
        <translation>The adapter is sending frames, but the table shows a log file: these frames are not recorded. To see live frames, clear the table first.</translation>
    </message>
    <message>
        <source>正在打开日志，不能启动通道。请等日志读完或取消后再试。</source>
        <translation>A log is being opened, so no channel can start. Wait until the log is read or cancel it, then try again.</translation>
    </message>
    <message>
        <source>表格显示的是日志文件“%1”。启动通道会关闭它并清空表格，以显示实时帧。仍要启动吗？</source>
        <translation>The table shows the log file “%1”. Starting a channel closes it and clears the table to show live frames. Start anyway?</translation>
    </message>
    <message>
        <source>正在打开另一个日志。请等它读完或取消后再打开。</source>
        <translation>Another log is being opened. Wait until it is read or cancel it, then open again.</translation>
    </message>
    <message>
        <source>已读取的 %1 帧中，历史记录最多保存 %2 帧：最早的 %3 帧没有载入。</source>
        <translation>Of the %1 frames read, the history keeps at most %2: the earliest %3 frames were not loaded.</translation>
    </message>
    <message>
        <source>正在打开日志，现在保存只能存下其中一部分。请等日志读完或取消后再保存。</source>
        <translation>A log is being opened; saving now would save only part of it. Wait until the log is read or cancel it, then save.</translation>
    </message>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
</context>
<context>
    <name>FileSave_Widget</name>
    <message>
        <source> CAN保存</source>
        <translation> CAN Save</translation>
    </message>
</context>
<context>
    <name>FileSaveSupport</name>
    <message>
        <source>不是普通文件（文件夹、管道、设备或套接字）</source>
        <translation>not a regular file (a folder, pipe, device or socket)</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>RCAN-U01 双通道 USB-CAN 适配器的 CAN 总线分析仪。</source>
        <translation>CAN bus analyser for the two-channel RCAN-U01 USB-CAN adapter.</translation>
    </message>
    <message>
        <source>要打开的日志文件。</source>
        <translation>A log file to open.</translation>
    </message>
    <message>
        <source>在程序内启动一个虚拟 RCAN-U01 适配器，它的端口列在设备页中。</source>
        <translation>Start a virtual RCAN-U01 adapter inside the program; its port is listed in the device page.</translation>
    </message>
    <message>
        <source>虚拟适配器在每个已启动的通道上每秒产生的帧数（默认 %1）。</source>
        <translation>Frames per second the virtual adapter generates on each started channel (default %1).</translation>
    </message>
    <message>
        <source>把没有 USB 标识的串口设备（例如伪终端）列在设备页中；可以给出多次。</source>
        <translation>List a serial device without USB identifiers (a pseudo-terminal, for example) in the device page; may be given more than once.</translation>
    </message>
    <message>
        <source>用 --help 查看用法。</source>
        <translation>See --help for usage.</translation>
    </message>
    <message>
        <source>--simulate-rate 需要 0 或更大的整数。</source>
        <translation>--simulate-rate needs a whole number of 0 or more.</translation>
    </message>
    <message>
        <source>--port 需要一个设备路径。</source>
        <translation>--port needs a device path.</translation>
    </message>
    <message>
        <source>只能给出一个日志文件。</source>
        <translation>Give at most one log file.</translation>
    </message>
    <message>
        <source>--port：设备 %1 不存在。</source>
        <translation>--port: the device %1 does not exist.</translation>
    </message>
    <message>
        <source>接收视图在本次运行中保存的历史帧数（%1 到 %2），不改变设置中记住的容量。</source>
        <translation>Frames the receive view keeps in its history in this run (%1 to %2); the size remembered in the settings stays as it is.</translation>
    </message>
    <message>
        <source>--history 需要 %1 到 %2 之间的整数。</source>
        <translation>--history needs a whole number from %1 to %2.</translation>
    </message>
</context>
<context>
    <name>LogCodec</name>
    <message>
        <source>CAN FD 帧：本程序和适配器只处理经典 CAN 帧，无法显示它</source>
        <translation>CAN FD frame: this program and its adapter handle classic CAN frames only and cannot show it</translation>
    </message>
    <message>
        <source>PEAK TRC 版本 %1：本程序只读 1.0 至 2.1 版，以及带 $COLUMNS 行的其他版本</source>
        <translation>PEAK TRC version %1: this program reads versions 1.0 to 2.1, and other versions only with a $COLUMNS line</translation>
    </message>
</context>
<context>
    <name>LogOpenProgress</name>
    <message>
        <source> 打开日志</source>
        <translation> Open log</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>LogFileDialogs</name>
    <message>
        <source>RCAN 文本日志 (*.txt)</source>
        <translation>RCAN text log (*.txt)</translation>
    </message>
    <message>
        <source>candump 日志 (*.log)</source>
        <translation>candump log (*.log)</translation>
    </message>
    <message>
        <source>Vector ASC 日志 (*.asc)</source>
        <translation>Vector ASC log (*.asc)</translation>
    </message>
    <message>
        <source>PEAK TRC 日志 (*.trc)</source>
        <translation>PEAK TRC log (*.trc)</translation>
    </message>
    <message>
        <source>candump 日志，带收发方向，Wireshark 不能读 (*.log)</source>
        <translation>candump log with direction, not readable by Wireshark (*.log)</translation>
    </message>
    <message>
        <source>保存日志</source>
        <translation>Save log</translation>
    </message>
    <message>
        <source>打开日志</source>
        <translation>Open log</translation>
    </message>
    <message>
        <source>CAN 日志 (*.txt *.log *.asc *.trc)</source>
        <translation>CAN logs (*.txt *.log *.asc *.trc)</translation>
    </message>
    <message>
        <source>所有文件 (*)</source>
        <translation>All files (*)</translation>
    </message>
</context>
<context>
    <name>TransmitListWidget</name>
    <message>
        <source> (%1 帧)</source>
        <translation> (%1 frames)</translation>
    </message>
    <message>
        <source> (失败 %1)</source>
        <translation> (%1 failed)</translation>
    </message>
    <message>
        <source>不发送</source>
        <translation>Not sent</translation>
    </message>
    <message>
        <source>保存...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>保存列表</source>
        <translation>Save list</translation>
    </message>
    <message>
        <source>停止列表</source>
        <translation>Stop list</translation>
    </message>
    <message>
        <source>停止回放</source>
        <translation>Stop replay</translation>
    </message>
    <message>
        <source>列表发送</source>
        <translation>Transmit list</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>加载...</source>
        <translation>Load...</translation>
    </message>
    <message>
        <source>加载列表</source>
        <translation>Load list</translation>
    </message>
    <message>
        <source>发送列表 (*.json)</source>
        <translation>Transmit lists (*.json)</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>启动列表</source>
        <translation>Start list</translation>
    </message>
    <message>
        <source>启用</source>
        <translation>On</translation>
    </message>
    <message>
        <source>周期(ms)</source>
        <translation>Period (ms)</translation>
    </message>
    <message>
        <source>周期要求超出链路能力。</source>
        <translation>The periods ask for more than the link carries. </translation>
    </message>
    <message>
        <source>回放</source>
        <translation>Replay</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>实际速率: %1 帧/秒</source>
        <translation>Real rate: %1 frames/s</translation>
    </message>
    <message>
        <source>尽快发送</source>
        <translation>As fast as confirmed</translation>
    </message>
    <message>
        <source>已发送</source>
        <translation>Sent</translation>
    </message>
    <message>
        <source>帧ID(0x)</source>
        <translation>ID (0x)</translation>
    </message>
    <message>
        <source>帧格式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>帧类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>循环次数:</source>
        <translation>Loops:</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>Confirmed</translation>
    </message>
    <message>
        <source>扩展帧</source>
        <translation>Extended</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>数据帧</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>数据矩阵...</source>
        <translation>Data matrix...</translation>
    </message>
    <message>
        <source>无法保存列表</source>
        <translation>Cannot save the list</translation>
    </message>
    <message>
        <source>无法打开日志</source>
        <translation>Cannot open the log</translation>
    </message>
    <message>
        <source>日志中没有可回放的帧</source>
        <translation>The log holds no frames to replay</translation>
    </message>
    <message>
        <source>日志回放</source>
        <translation>Log replay</translation>
    </message>
    <message>
        <source>日志文件 (*.txt *.log *.asc *.trc);;所有文件 (*)</source>
        <translation>Logs (*.txt *.log *.asc *.trc);;All files (*)</translation>
    </message>
    <message>
        <source>日志通道%1 →</source>
        <translation>Log channel %1 →</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>未选择日志</source>
        <translation>No log chosen</translation>
    </message>
    <message>
        <source>标准帧</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>第 %1/%2 遍</source>
        <translation>Pass %1/%2</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>设备发送失败</source>
        <translation>Refused by the device</translation>
    </message>
    <message>
        <source>设备未响应</source>
        <translation>No device response</translation>
    </message>
    <message>
        <source>远程帧</source>
        <translation>Remote</translation>
    </message>
    <message>
        <source>选择日志</source>
        <translation>Choose a log</translation>
    </message>
    <message>
        <source>选择日志...</source>
        <translation>Choose log...</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>通道1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>速度:</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>DLC</translation>
    </message>
    <message>
        <source>已打开的日志</source>
        <translation>Opened log</translation>
    </message>
    <message>
        <source>接收视图未打开日志</source>
        <translation>The receive view shows no log</translation>
    </message>
    <message>
        <source> (要求 %1 帧/秒)</source>
        <translation> (%1 frames/s asked)</translation>
    </message>
    <message>
        <source>正在读取日志...</source>
        <translation>Reading the log...</translation>
    </message>
    <message>
        <source>已取消读取日志</source>
        <translation>Reading the log was cancelled</translation>
    </message>
    <message>
        <source>只载入前 %1 帧</source>
        <translation>Only the first %1 frames loaded</translation>
    </message>
    <message>
        <source>%1 行无法识别，已跳过</source>
        <translation>Unrecognised lines skipped: %1</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>保存的发送列表无法读取，列表为空。%1</source>
        <translation>The saved transmit list cannot be read; the list is empty. %1</translation>
    </message>
    <message>
        <source>无法读取列表 %1：%2</source>
        <translation>Cannot read the list %1: %2</translation>
    </message>
    <message>
        <source>不是有效的 JSON（第 %1 个字符：%2）</source>
        <translation>not valid JSON (character %1: %2)</translation>
    </message>
    <message>
        <source>缺少“frames”列表</source>
        <translation>the &quot;frames&quot; list is missing</translation>
    </message>
    <message>
        <source>第 %1 项</source>
        <translation>entry %1</translation>
    </message>
    <message>
        <source>第 %1 项（%2）</source>
        <translation>entry %1 (%2)</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>不是一个对象</source>
        <translation>is not an object</translation>
    </message>
    <message>
        <source>“%1”应为 true 或 false</source>
        <translation>&quot;%1&quot; must be true or false</translation>
    </message>
    <message>
        <source>缺少“%1”</source>
        <translation>&quot;%1&quot; is missing</translation>
    </message>
    <message>
        <source>“%1”应为整数</source>
        <translation>&quot;%1&quot; must be a whole number</translation>
    </message>
    <message>
        <source>“%1”为 %2，不在 %3 到 %4 之间</source>
        <translation>&quot;%1&quot; is %2, not between %3 and %4</translation>
    </message>
    <message>
        <source>“name”应为文字</source>
        <translation>&quot;name&quot; must be text</translation>
    </message>
    <message>
        <source>名称超过 %1 个字符</source>
        <translation>the name is longer than %1 characters</translation>
    </message>
    <message>
        <source>缺少“id”</source>
        <translation>&quot;id&quot; is missing</translation>
    </message>
    <message>
        <source>“id”应为 1 到 8 位十六进制数</source>
        <translation>&quot;id&quot; must be 1 to 8 hex digits</translation>
    </message>
    <message>
        <source>标识符 %1 超出%2的范围（最大 %3）</source>
        <translation>identifier %1 is out of range for a %2 (at most %3)</translation>
    </message>
    <message>
        <source>“data”应为十六进制字节</source>
        <translation>&quot;data&quot; must be hex bytes</translation>
    </message>
    <message>
        <source>“data”有 %1 个字节，最多 8 个</source>
        <translation>&quot;data&quot; has %1 bytes, at most 8</translation>
    </message>
    <message>
        <source>列表正在发送</source>
        <translation>the list is being sent</translation>
    </message>
    <message>
        <source>不是普通文件</source>
        <translation>not a regular file</translation>
    </message>
    <message>
        <source>文件过大</source>
        <translation>the file is too large</translation>
    </message>
    <message>
        <source>无法打开日志：不是普通文件</source>
        <translation>Cannot open the log: not a regular file</translation>
    </message>
    <message>
        <source>设备已断开，列表已停止。</source>
        <translation>The device is disconnected; the list has stopped.</translation>
    </message>
    <message>
        <source>失败 %1</source>
        <translation>%1 failed</translation>
    </message>
    <message>
        <source>链路跟不上：实际 %1×，要求 %2×</source>
        <translation>the link cannot keep up: %1× reached, %2× asked</translation>
    </message>
    <message>
        <source>%1 处超过一天的间隔按一天计</source>
        <translation>%1 gaps longer than a day were shortened to a day</translation>
    </message>
    <message>
        <source>设备已断开，回放已停止</source>
        <translation>The device is disconnected; the replay has stopped</translation>
    </message>
    <message>
        <source>, 失败 %1</source>
        <translation>, %1 failed</translation>
    </message>
    <message>
        <source>无法读取列表</source>
        <translation>Cannot read the list</translation>
    </message>
    <message>
        <source>从数据库...</source>
        <translation>From database...</translation>
    </message>
</context>
<context>
    <name>IdOverviewModel</name>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>帧ID</source>
        <translation>Frame ID</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Dir</translation>
    </message>
    <message>
        <source>计数</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>远程帧</source>
        <translation>Remote</translation>
    </message>
    <message>
        <source>周期(ms)</source>
        <translation>Cycle (ms)</translation>
    </message>
    <message>
        <source>平均(ms)</source>
        <translation>Mean (ms)</translation>
    </message>
    <message>
        <source>最小(ms)</source>
        <translation>Min (ms)</translation>
    </message>
    <message>
        <source>最大(ms)</source>
        <translation>Max (ms)</translation>
    </message>
    <message>
        <source>长度</source>
        <translation>DLC</translation>
    </message>
    <message>
        <source>数据</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>数据帧数</source>
        <translation>Data frames</translation>
    </message>
    <message>
        <source>远程帧数</source>
        <translation>Remote frames</translation>
    </message>
    <message>
        <source>最近两帧数据帧的间隔，按设备时间戳</source>
        <translation>Gap between the last two data frames, from the device time stamps</translation>
    </message>
    <message>
        <source>报文</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>信号（最新值）</source>
        <translation>Signals (latest values)</translation>
    </message>
</context>
<context>
    <name>DbcReader</name>
    <message>
        <source>没有这个数据库</source>
        <translation>There is no such database</translation>
    </message>
    <message>
        <source>无法识别的内容</source>
        <translation>Cannot be read</translation>
    </message>
    <message>
        <source>标识符超出 29 位</source>
        <translation>Identifier does not fit 29 bits</translation>
    </message>
    <message>
        <source>标识符与前面的报文重复</source>
        <translation>Identifier already used by an earlier message</translation>
    </message>
    <message>
        <source>信号超出 64 位</source>
        <translation>Signal reaches past 64 bits</translation>
    </message>
    <message>
        <source>信号长度须为 1 到 64 位</source>
        <translation>Signal length must be 1 to 64 bits</translation>
    </message>
    <message>
        <source>信号不属于任何报文</source>
        <translation>Signal outside any message</translation>
    </message>
    <message>
        <source>引用了未定义的报文</source>
        <translation>Names a message that is not defined</translation>
    </message>
    <message>
        <source>引用了未定义的信号</source>
        <translation>Names a signal that is not defined</translation>
    </message>
    <message>
        <source>浮点信号的长度须为 32 或 64 位</source>
        <translation>A float signal must be 32 or 64 bits long</translation>
    </message>
    <message>
        <source>复用信号没有复用器</source>
        <translation>Multiplexed signal without a multiplexor</translation>
    </message>
    <message>
        <source>复用器互相选择，形成循环</source>
        <translation>Multiplexors select each other in a loop</translation>
    </message>
    <message>
        <source>引号未闭合</source>
        <translation>Quote not closed</translation>
    </message>
    <message>
        <source>%1 行无法读取，已跳过：</source>
        <translation>%1 line(s) could not be read and were skipped:</translation>
    </message>
    <message>
        <source>第 %1 行：%2（%3）</source>
        <translation>Line %1: %2 (%3)</translation>
    </message>
    <message>
        <source>……</source>
        <translation>...</translation>
    </message>
    <message>
        <source>无法打开文件 %1：%2</source>
        <translation>Cannot open the file %1: %2</translation>
    </message>
    <message>
        <source>文件过大，不是 CAN 数据库：%1</source>
        <translation>The file is too large to be a CAN database: %1</translation>
    </message>
    <message>
        <source>不是 DBC 格式的 CAN 数据库：%1</source>
        <translation>Not a CAN database in DBC format: %1</translation>
    </message>
</context>
<context>
    <name>SignalPlot</name>
    <message>
        <source>信号曲线</source>
        <translation>Signal plot</translation>
    </message>
    <message>
        <source>跟随最新</source>
        <translation>Follow live</translation>
    </message>
    <message>
        <source>时间轴随最新数据移动；拖动或缩放时间轴会停止跟随</source>
        <translation>The time axis moves with the newest values; dragging or zooming the time axis stops following</translation>
    </message>
    <message>
        <source>冻结</source>
        <translation>Freeze</translation>
    </message>
    <message>
        <source>暂停接收新数据，便于查看；取消冻结后补上期间的数据</source>
        <translation>Stops taking new values so you can look; unfreezing catches up on what came meanwhile</translation>
    </message>
    <message>
        <source>全部显示</source>
        <translation>Show all</translation>
    </message>
    <message>
        <source>移除全部</source>
        <translation>Remove all</translation>
    </message>
    <message>
        <source>导出PNG…</source>
        <translation>Export PNG…</translation>
    </message>
    <message>
        <source>导出CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>把曲线中的数据导出为CSV（每个时间一行，每个信号一列）</source>
        <translation>Exports the plotted data as CSV (one row per time, one column per signal)</translation>
    </message>
    <message>
        <source>设备时间 (s)</source>
        <translation>Device time (s)</translation>
    </message>
    <message>
        <source>在信号监视窗口中选择信号并点击“绘制曲线”。</source>
        <translation>Pick signals in the signal watch and click “Plot”.</translation>
    </message>
    <message>
        <source>单击曲线放置光标，读取该时刻的值；拖动平移、滚轮缩放时间轴。</source>
        <translation>Click a plot to place the cursor and read the values at that time; drag to pan, use the wheel to zoom the time axis.</translation>
    </message>
    <message>
        <source>光标：%1 s</source>
        <translation>Cursor: %1 s</translation>
    </message>
    <message>
        <source>导出曲线为PNG</source>
        <translation>Export plot as PNG</translation>
    </message>
    <message>
        <source>PNG图片 (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <source>无法写入文件 %1</source>
        <translation>Cannot write the file %1</translation>
    </message>
    <message>
        <source>导出曲线数据为CSV</source>
        <translation>Export plotted data as CSV</translation>
    </message>
    <message>
        <source>CSV文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
</context>
<context>
    <name>SignalWatch</name>
    <message>
        <source>信号监视</source>
        <translation>Signal watch</translation>
    </message>
    <message>
        <source>按名称过滤（信号或报文）</source>
        <translation>Filter by name (signal or message)</translation>
    </message>
    <message>
        <source>绘制曲线</source>
        <translation>Plot</translation>
    </message>
    <message>
        <source>在曲线窗口中绘制选中的信号（双击一行也可）</source>
        <translation>Plots the selected signals in the plot window (or double-click a row)</translation>
    </message>
    <message>
        <source>导出CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <source>把选中信号（未选中时为显示的全部信号）的历史数据导出为CSV</source>
        <translation>Exports the history of the selected signals (of all shown signals when none is selected) as CSV</translation>
    </message>
    <message>
        <source>未加载数据库：请先添加DBC数据库，才能解码信号。</source>
        <translation>No database loaded: add a DBC database to decode signals.</translation>
    </message>
    <message numerus="yes">
        <source>%n 个信号</source>
        <translation>
            <numerusform>%n signal</numerusform>
            <numerusform>%n signals</numerusform>
        </translation>
    </message>
    <message>
        <source>没有可导出的信号。</source>
        <translation>There are no signals to export.</translation>
    </message>
    <message>
        <source>宽表：每个时间一行，每个信号一列 (*.csv)</source>
        <translation>Wide: one row per time, one column per signal (*.csv)</translation>
    </message>
    <message>
        <source>长表：time,channel,message,signal,value,unit (*.csv)</source>
        <translation>Long: time,channel,message,signal,value,unit (*.csv)</translation>
    </message>
    <message>
        <source>导出信号为CSV</source>
        <translation>Export signals as CSV</translation>
    </message>
    <message>
        <source>无法写入文件 %1：%2</source>
        <translation>Cannot write the file %1: %2</translation>
    </message>
</context>
<context>
    <name>SignalWatchModel</name>
    <message>
        <source>信号</source>
        <translation>Signal</translation>
    </message>
    <message>
        <source>报文</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>原始值</source>
        <translation>Raw</translation>
    </message>
    <message>
        <source>最小值</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>最大值</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>次数</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>时间(s)</source>
        <translation>Time (s)</translation>
    </message>
</context>
<context>
    <name>DatabasesModel</name>
    <message numerus="yes">
        <source>已加载，%n 个问题</source>
        <translation>
            <numerusform>Loaded, %n problem</numerusform>
            <numerusform>Loaded, %n problems</numerusform>
        </translation>
    </message>
    <message>
        <source>已加载</source>
        <translation>Loaded</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>通道</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>报文数</source>
        <translation>Messages</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>通道1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>两个通道</source>
        <translation>Both channels</translation>
    </message>
</context>
<context>
    <name>DatabasesWindow</name>
    <message>
        <source> CAN数据库</source>
        <translation> CAN databases</translation>
    </message>
    <message>
        <source>新添加的文件用于哪些通道；已添加文件的通道可在列表中双击修改</source>
        <translation>The channels the files added next are for; double-click a listed file's channels to change them</translation>
    </message>
    <message>
        <source>添加...</source>
        <translation>Add...</translation>
    </message>
    <message>
        <source>重新加载</source>
        <translation>Reload</translation>
    </message>
    <message>
        <source>移除</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>新文件用于:</source>
        <translation>New files for:</translation>
    </message>
    <message>
        <source>所选文件的问题:</source>
        <translation>Problems in the chosen file:</translation>
    </message>
    <message>
        <source>选择一个文件以查看其问题。</source>
        <translation>Choose a file to see its problems.</translation>
    </message>
    <message>
        <source>尚未添加数据库。</source>
        <translation>No database added yet.</translation>
    </message>
    <message>
        <source>文件读取无误。</source>
        <translation>The file was read without problems.</translation>
    </message>
    <message>
        <source>添加CAN数据库</source>
        <translation>Add CAN databases</translation>
    </message>
    <message>
        <source>CAN数据库 (*.dbc);;所有文件 (*)</source>
        <translation>CAN databases (*.dbc);;All files (*)</translation>
    </message>
</context>
<context>
    <name>FrameSignalDetail</name>
    <message>
        <source>单击信号以绘制其曲线</source>
        <translation>Click a signal to plot it</translation>
    </message>
    <message>
        <source>单击一行以查看其信号</source>
        <translation>Click a row to see its signals</translation>
    </message>
    <message>
        <source>数据库中没有此帧的报文</source>
        <translation>No database describes this frame</translation>
    </message>
</context>
<context>
    <name>FrameSignalText</name>
    <message>
        <source>%1 (缺失)</source>
        <translation>%1 (missing)</translation>
    </message>
</context>
<context>
    <name>SignalComposer</name>
    <message>
        <source>“%1”不是数值。</source>
        <translation>“%1” is not a number.</translation>
    </message>
    <message>
        <source>“%1”既不是数值，也不是信号 %2 的取值名称。</source>
        <translation>“%1” is neither a number nor a value name of the signal %2.</translation>
    </message>
    <message>
        <source>%1 超出信号 %2 可表示的范围 %3 .. %4。</source>
        <translation>%1 is outside what the signal %2 can hold, %3 .. %4.</translation>
    </message>
    <message>
        <source>%1 超出信号 %2 的浮点范围。</source>
        <translation>%1 is outside the floating-point range of the signal %2.</translation>
    </message>
    <message>
        <source>信号 %1 超出报文的 %2 字节长度。</source>
        <translation>The signal %1 reaches past the message's %2 bytes.</translation>
    </message>
    <message>
        <source>信号 %1 的多路复用器未知。</source>
        <translation>The multiplexor of the signal %1 is not known.</translation>
    </message>
    <message>
        <source>多路复用器 %1 无法取值 %2。</source>
        <translation>The multiplexor %1 cannot take the value %2.</translation>
    </message>
</context>
<context>
    <name>SignalComposerWindow</name>
    <message>
        <source> 由信号值生成帧</source>
        <translation> Frame from signal values</translation>
    </message>
    <message>
        <source>通道1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>信号</source>
        <translation>Signal</translation>
    </message>
    <message>
        <source>值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>原始值</source>
        <translation>Raw</translation>
    </message>
    <message>
        <source>范围</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>添加到发送列表</source>
        <translation>Add to the transmit list</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>报文:</source>
        <translation>Message:</translation>
    </message>
    <message>
        <source>通道:</source>
        <translation>Channel:</translation>
    </message>
    <message>
        <source>数据(十六进制):</source>
        <translation>Data (hex):</translation>
    </message>
    <message>
        <source>没有已加载的数据库报文：请先在“CAN数据库”中添加DBC文件。</source>
        <translation>No database messages are loaded: add DBC files under “CAN databases” first.</translation>
    </message>
    <message>
        <source> (多路复用器)</source>
        <translation> (multiplexor)</translation>
    </message>
    <message>
        <source>输入物理值</source>
        <translation>Enter the physical value</translation>
    </message>
    <message>
        <source>输入物理值或取值名称:
</source>
        <translation>Enter the physical value or a value name:
</translation>
    </message>
    <message>
        <source>当前多路复用器的值未选中此信号；输入值会同时设置多路复用器。</source>
        <translation>The multiplexor's value does not select this signal now; entering a value sets the multiplexor too.</translation>
    </message>
    <message>
        <source>数据只能包含十六进制数字。</source>
        <translation>The data can only hold hex digits.</translation>
    </message>
</context>
<context>
    <name>HistorySizeDialog</name>
    <message>
        <source>，超过本机内存的一半</source>
        <translation>, more than half of this computer&apos;s memory</translation>
    </message>
    <message>
        <source> 历史记录容量</source>
        <translation> History size</translation>
    </message>
    <message>
        <source> 帧</source>
        <translation> frames</translation>
    </message>
    <message>
        <source>保存的帧数：</source>
        <translation>Frames kept:</translation>
    </message>
    <message>
        <source>占用内存：</source>
        <translation>Memory used:</translation>
    </message>
    <message>
        <source>更改立即生效。改小容量时，会丢弃最早的帧。</source>
        <translation>The change takes effect at once. A smaller size drops the oldest frames.</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>约 %1 MB</source>
        <translation>about %1 MB</translation>
    </message>
    <message>
        <source>约 %1 GB</source>
        <translation>about %1 GB</translation>
    </message>
</context>
</TS>
