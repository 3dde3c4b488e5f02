\TITLE Match day
\NOSIG Y
\O 1
\R reply@example.org

"John Whitlock" <john.whitlock@example.com>
"Lorcan Duarte" <lorcan.duarte@mail.example.com>
"Hans Nakamura" <hans.nakamura@post.example.org>
