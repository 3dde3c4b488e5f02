Title: Newsletter
sanne.yilmaz@example.com
ines.okafor@example.net (Ines Okafor)
lorcan.smith@example.net
"Xavier Thorsen" <xavier.thorsen@example.com>
yara.yilmaz@example.net

"Rhoda Sato" <rhoda.sato@post.example.org>
yara.blackwood@post.example.org
bram.jones@example.com
"Sanne Blackwood" <sanne.blackwood@mail.example.com>
bjoern.thorsen@example.com (Björn Thorsen)
mirela.delacroix@mail.example.com
rhoda.whitlock@post.example.org (Rhoda Whitlock)
"Mirela Kowalczyk" <mirela.kowalczyk@example.net>
mirela.marchetti@example.org
"Greta Smith" <greta.smith@post.example.org>
kerstin.petrov@post.example.org
"Kerstin Petrov" <kerstin.petrov@post.example.org>
"Yara Duarte" <yara.duarte@post.example.org>
ulla.ruiz@post.example.org
\C Kept by the secretary
