Title: Match day
"Hamid Underhill" <hamid.underhill@example.com>
oona.kowalczyk@post.example.org
oona.achterberg@example.org



wenna.petrov@mail.example.com
"Yara Haddad" <yara.haddad@post.example.org>
"René Yilmaz" <rene.yilmaz@post.example.org>
"Quentin Jones" <quentin.jones@post.example.org>
jonas.sato@post.example.org (Jonas Sato)
maria.nakamura@mail.example.com
"Edith Whitlock" <edith.whitlock@post.example.org>
viggo.zorba@example.net
"René Brennan" <rene.brennan@example.net>
mirela.haddad@example.net
xavier.nakamura@post.example.org
