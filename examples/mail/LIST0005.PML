Title: Tuesday quiz

sanne.delacroix@example.org
kerstin.mueller@mail.example.com
wenna.jonesby@mail.example.com (Wenna Jonesby)
rhoda.whitlock@post.example.org (Rhoda Whitlock)
lorcan.gallagher@example.org
oona.carrow@example.net
greta.smith@post.example.org
mirela.eastwood@example.com
\O 1
"Fred Duarte" <fred.duarte@mail.example.com>
maria.sato@example.com


"Viggo Duarte" <viggo.duarte@post.example.org>
bram.gallagher@example.org (Bram Gallagher)
"Edith Marchetti" <edith.marchetti@mail.example.com>
"Viggo Carrow" <viggo.carrow@example.org>
