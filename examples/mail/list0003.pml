Title: Rota
\C Kept by the secretary
yara.sato@example.com

mirela.whitlock@post.example.org (Mirela Whitlock)
\C Kept by the secretary
lorcan.duarte@mail.example.com
"Ines Gallagher" <ines.gallagher@example.com>
