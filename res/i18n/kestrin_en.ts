<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!--
  The English texts of the window, one message per line: the Chinese text as the program holds it, and
  its English counterpart. The one list of translations: the Qt window loads it compiled with lrelease,
  and the build turns it into the table the Windows window and kestrin-drive use. Every text of
  ui/texts.h and of the window's layout needs a line here (a test fails otherwise); the English is ASCII,
  and keeps each %d and %s of the Chinese in the same order (the build fails otherwise).
-->
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>Kestrin</name>
    <!-- The window and its frames, labels, buttons and check boxes. -->
    <message><source>Kestrin</source><translation>Kestrin</translation></message>
    <message><source>文件路径</source><translation>Paths</translation></message>
    <message><source>文件名批量修改</source><translation>Batch rename</translation></message>
    <message><source>文件查找</source><translation>Search</translation></message>
    <message><source>文件输入目录:</source><translation>Input folder:</translation></message>
    <message><source>输入路径前缀:</source><translation>Path prefix:</translation></message>
    <message><source>拷贝输出路径:</source><translation>Copy output:</translation></message>
    <message><source>查找文件名:</source><translation>File name:</translation></message>
    <message><source>文件后缀名:</source><translation>Extension:</translation></message>
    <message><source>查找字符串:</source><translation>Find text:</translation></message>
    <message><source>被替换的字符串:</source><translation>Old text:</translation></message>
    <message><source>新的字符串:</source><translation>New text:</translation></message>
    <message><source>文件引用关联查找:</source><translation>Reference lookup:</translation></message>
    <message><source>目录:</source><translation>Dir:</translation></message>
    <message><source>打开</source><translation>Open</translation></message>
    <message><source>查找</source><translation>Find</translation></message>
    <message><source>批量修改文件名</source><translation>Rename files</translation></message>
    <message><source>递归查找</source><translation>Recursive</translation></message>
    <message><source>字母大小写不敏感</source><translation>Ignore case</translation></message>
    <message><source>文件名带目录</source><translation>With folders</translation></message>
    <message><source>文件名带后缀</source><translation>With extension</translation></message>
    <message><source>查找隐藏文件</source><translation>Hidden files</translation></message>
    <message><source>强行修改,如有重名文件则删除</source><translation>Force: delete a file of the new name</translation></message>
    <message><source>拷贝文件</source><translation>Copy files</translation></message>
    <message><source>打开拷贝路径</source><translation>Open output</translation></message>
    <message><source>预览</source><translation>Preview</translation></message>
    <message><source>撤销</source><translation>Undo</translation></message>
    <message><source>只改结果</source><translation>Results only</translation></message>
    <!-- The folder browser. -->
    <message><source>统计引用</source><translation>Count uses</translation></message>
    <message><source>Select input folder</source><translation>Select input folder</translation></message>
    <!-- The status box. -->
    <message><source>目录下共有%d个文件.</source><translation>%d files in the folder.</translation></message>
    <message><source>拖入单个文件.</source><translation>Single file dropped.</translation></message>
    <message><source>没有文件可查找.</source><translation>No files to search.</translation></message>
    <message><source>搜索%d个文件,找到%d个符合条件的文件.</source><translation>Searched %d files, found %d matching files.</translation></message>
    <message><source>没有字符串可进行查找.</source><translation>No text to search for.</translation></message>
    <message><source>找到字符串.</source><translation>Text found.</translation></message>
    <message><source>未找到字符串.</source><translation>Text not found.</translation></message>
    <message><source>没有文件可修改.</source><translation>No files to rename.</translation></message>
    <message><source>没有输入旧的文件名,以进行修改.</source><translation>Enter the old text of the file names to rename them.</translation></message>
    <message><source>搜索%d个文件,修改了%d个符合条件的文件.</source><translation>Searched %d files, renamed %d matching files.</translation></message>
    <message><source>拷贝失败, 没有可以拷贝的文件.</source><translation>Copy failed, no files to copy.</translation></message>
    <message><source>拷贝失败, 没有拷贝路径.</source><translation>Copy failed, no copy output path.</translation></message>
    <message><source>拷贝失败, 无法创建拷贝路径:%s.</source><translation>Copy failed, cannot create the copy output path:%s.</translation></message>
    <message><source>拷贝完成, 其中成功:%d个, 失败:%d个.</source><translation>Copy done, succeeded:%d, failed:%d.</translation></message>
    <message><source>已停止, </source><translation>Stopped, </translation></message>
    <message><source>%d个失败</source><translation>%d failed</translation></message>
    <message><source>已停止, 目录下已列出%d个文件.</source><translation>Stopped, %d files of the folder listed.</translation></message>
    <message><source>没有引用文件可统计.</source><translation>No reference files to count.</translation></message>
    <message><source>没有输入文件可统计引用.</source><translation>No input files to count references in.</translation></message>
    <message><source>统计%d个引用文件, 其中%d个未被引用.</source><translation>Counted %d reference files, %d of them unused.</translation></message>
    <message><source>统计引用未完成.</source><translation>reference count not finished.</translation></message>
    <message><source>%s  (%d)</source><translation>%s  (%d)</translation></message>
    <!-- A command's button while the command runs, and the list of the last command's failures. -->
    <message><source>停止</source><translation>Stop</translation></message>
    <message><source>未完成的文件</source><translation>Files not done</translation></message>
    <message><source>复制</source><translation>Copy</translation></message>
    <message><source>确定</source><translation>OK</translation></message>
    <!-- The reasons of the failure list: the words kestrin-cli gives each reason (a test keeps them equal). -->
    <message><source>没有权限</source><translation>permission denied</translation></message>
    <message><source>已不存在</source><translation>vanished</translation></message>
    <message><source>目标文件只读</source><translation>read-only target</translation></message>
    <message><source>目标已存在</source><translation>target exists</translation></message>
    <message><source>超出路径长度限制</source><translation>over the path limit</translation></message>
    <message><source>不是普通文件</source><translation>not a regular file</translation></message>
    <message><source>目录已通过另一个链接遍历过</source><translation>folder already walked through another link</translation></message>
    <message><source>已被本批次的前一步改动</source><translation>changed by an earlier step of this batch</translation></message>
    <message><source>是本批次自己的文件</source><translation>one of this batch's own files</translation></message>
    <message><source>系统保留了旧文件名</source><translation>the system kept the old name</translation></message>
    <message><source>本批次的另一个文件已拷贝到此处</source><translation>another file of this batch was copied there</translation></message>
    <message><source>无法将被替换的文件移到回收站</source><translation>the file to be replaced could not be moved to the trash</translation></message>
    <message><source>无法写入撤销记录</source><translation>the undo journal could not be written</translation></message>
    <message><source>已不是批次留下的文件</source><translation>no longer the file the batch left there</translation></message>
    <message><source>批次之后已被修改</source><translation>changed since the batch</translation></message>
    <message><source>已不在回收站中</source><translation>no longer in the trash</translation></message>
    <message><source>该步骤未完成,无法核对</source><translation>the step was cut short and cannot be checked</translation></message>
    <message><source>未知错误</source><translation>unknown error</translation></message>
    <!-- The message box of the open-copy-path command. -->
    <message><source>提示</source><translation>Notice</translation></message>
    <!-- Messages and the context menu of the lists. -->
    <message><source>不是目录:%s.</source><translation>Not a folder:%s.</translation></message>
    <message><source>无法打开:%s.</source><translation>Cannot open:%s.</translation></message>
    <message><source>打开所在目录</source><translation>Open containing folder</translation></message>
    <message><source>复制完整路径</source><translation>Copy full path</translation></message>
    <!-- The tooltips of the copy path boxes. -->
    <message><source>拷贝时从每个文件的路径中去掉的开头部分, 路径的其余部分保留在输出目录下.</source><translation>The start of each file's path that a copy drops; the rest of the path is kept below the output folder.</translation></message>
    <message><source>拷贝的文件放到此目录下, 各自保留路径前缀之后的目录.</source><translation>The folder the copies go to, each keeping the folders of its path after the prefix.</translation></message>
    <!-- The rename preview. -->
    <message><source>批量修改预览</source><translation>Rename preview</translation></message>
    <message><source>立即修改</source><translation>Rename now</translation></message>
    <message><source>关闭</source><translation>Close</translation></message>
    <message><source>将修改%d个文件, %d个文件不能修改.</source><translation>%d files to rename, %d cannot be renamed.</translation></message>
    <message><source>新文件名与旧文件名相同</source><translation>the new name is the old one</translation></message>
    <message><source>新文件名不可用</source><translation>not a usable file name</translation></message>
    <message><source>预览未完成.</source><translation>preview not finished.</translation></message>
    <!-- The undo button's tooltip, and the status after an undo. -->
    <message><source>撤销修改%d个文件名, %s</source><translation>rename of %d files, %s</translation></message>
    <message><source>撤销拷贝%d个文件, %s</source><translation>copy of %d files, %s</translation></message>
    <message><source>撤销完成, 恢复了%d个文件, %d个无法恢复.</source><translation>Undo done, %d files taken back, %d could not be.</translation></message>
    <message><source>没有可撤销的批次.</source><translation>No batch to undo.</translation></message>
    <message><source>复制选中的路径</source><translation>copy the selected paths</translation></message>
    <message><source>复制全部路径</source><translation>copy all paths</translation></message>
    <message><source>导出列表…</source><translation>export the list...</translation></message>
    <message><source>导出列表</source><translation>Export the list</translation></message>
    <message><source>无法写入:%s.</source><translation>Cannot write: %s.</translation></message>
    <!-- The matches pane and the reference preview. -->
    <message><source>%d行匹配</source><translation>%d matching lines</translation></message>
    <message><source>至少%d行匹配</source><translation>at least %d matching lines</translation></message>
    <message><source>还有%d行匹配未列出</source><translation>%d more matching lines not listed</translation></message>
    <message><source>还有至少%d行匹配未列出</source><translation>at least %d more matching lines not listed</translation></message>
    <message><source>文件的前%d行</source><translation>the first %d lines of the file</translation></message>
    <message><source>无法读取:%s</source><translation>Cannot read: %s</translation></message>
    <message><source>%d×%d像素, %d字节</source><translation>%dx%d px, %d bytes</translation></message>
    <message><source>%d字节</source><translation>%d bytes</translation></message>
</context>
</TS>
